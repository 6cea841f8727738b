#include "model/WrenEvents.h"

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Log.h"

#include <algorithm>
#include <limits>
#include <unordered_set>
#include <utility>

namespace {

const QString kEventsKey = QStringLiteral("events");
const QString kSessionsKey = QStringLiteral("sessions");

// Session numbers come from archives too: the last one stays where it is instead of overflowing.
int32_t nextSession(int32_t session)
{
    return session == std::numeric_limits<int32_t>::max() ? session : session + 1;
}

// Lengths are kept in single precision; a value beyond its range is held at its end.
float toLength(double seconds)
{
    constexpr double kLargest = std::numeric_limits<float>::max();
    return static_cast<float>(std::clamp(seconds, -kLargest, kLargest));
}

} // namespace

WrenEvents::~WrenEvents()
{
    if (m_um)
        m_um->removeAllActions(this);
}

void WrenEvents::setUm(lq::UndoManager *um)
{
    // Actions left with a manager the store no longer uses could outlive the store.
    if (m_um && m_um != um)
        m_um->removeAllActions(this);
    m_um = um;
}

void WrenEvents::registerUndo(std::function<void()> action)
{
    if (m_um)
        m_um->registerUndo(this, std::move(action));
}

// Per-character list

void WrenEvents::fillKeyEventsTo(uint32_t index)
{
    StampList empties;
    for (size_t position = m_keyEvents.size(); position < index; ++position)
        empties.push_back(WrenTimeStamp::emptyKey(static_cast<uint32_t>(position)));
    m_keyEvents.insert(m_keyEvents.size(), empties.begin(), empties.end());
}

void WrenEvents::replaceKeyEntry(uint32_t index, const WrenTimeStampPtr &stamp)
{
    WrenTimeStampPtr old = m_keyEvents.replace(index, stamp);
    if (!old->isEmpty())
        m_events.removeLast(old.get());
    registerUndo([this, old] { insertEvent(old, true); });
}

void WrenEvents::placeKeyStamp(const WrenTimeStampPtr &stamp, bool replaceChar)
{
    const uint32_t index = stamp->index();
    fillKeyEventsTo(index);
    // A character past the end of the list has no entry to replace: it gets a new one.
    if (replaceChar && index < m_keyEvents.size()) {
        replaceKeyEntry(index, stamp);
        return;
    }
    m_keyEvents.insert(index, stamp);
    registerUndo([this, stamp] { removeEvent(stamp); });
}

void WrenEvents::placeStamp(const WrenTimeStampPtr &stamp, bool replaceChar)
{
    if (stamp->type() == WrenTimeStampTypeKey)
        placeKeyStamp(stamp, replaceChar);
    else if (stamp->type() == WrenTimeStampTypeSlide)
        registerUndo([this, stamp] { removeEvent(stamp); });
}

void WrenEvents::rebuildKeyEvents(uint32_t characterLimit)
{
    StampList keys;
    size_t implausible = 0;
    uint32_t firstImplausibleIndex = 0;
    for (const WrenTimeStampPtr &stamp : m_events) {
        if (stamp->type() != WrenTimeStampTypeKey)
            continue;
        const uint32_t index = stamp->index();
        if (index >= characterLimit) {
            if (implausible++ == 0)
                firstImplausibleIndex = index;
            continue;
        }
        while (keys.size() < index)
            keys.push_back(WrenTimeStamp::emptyKey(static_cast<uint32_t>(keys.size())));
        if (index == keys.size())
            keys.push_back(stamp);
        else
            keys[index] = stamp;
    }
    m_keyEvents.assign(std::move(keys));
    if (implausible > 0) {
        lq::log(QString::asprintf("Program error, %zu key stamps have a character index beyond the "
                                  "text (the first %u); they stay out of the character list.\n",
                                  implausible, firstImplausibleIndex));
    }
}

// Changes

void WrenEvents::addEvent(const WrenTimeStampPtr &stamp, bool replaceChar)
{
    placeStamp(stamp, replaceChar);
    if (!stamp->isEmpty())
        m_events.append(stamp);
}

void WrenEvents::insertEvent(const WrenTimeStampPtr &stamp, bool replaceChar)
{
    placeStamp(stamp, replaceChar);
    if (!stamp->isEmpty())
        m_events.insertInOrder(stamp);
}

void WrenEvents::removeEvent(const WrenTimeStampPtr &stamp)
{
    // A stamp in the per-character list is at its index there.
    const uint32_t index = stamp->index();
    if (stamp->type() == WrenTimeStampTypeKey && index < m_keyEvents.size() &&
        m_keyEvents[index] == stamp)
        m_keyEvents.erase(index);
    m_events.removeLast(stamp.get());
    registerUndo([this, stamp] { insertEvent(stamp, false); });
}

bool WrenEvents::removeEventForCharacter(uint32_t index)
{
    if (index >= m_keyEvents.size())
        return false;
    const WrenTimeStampPtr entry = m_keyEvents[index];
    if (!entry->isEmpty())
        m_events.removeLast(entry.get());
    m_keyEvents.erase(index);
    registerUndo([this, entry] { insertEvent(entry, false); });
    return true;
}

bool WrenEvents::addNullChar(uint32_t index, bool replaceChar)
{
    const WrenTimeStampPtr empty = WrenTimeStamp::emptyKey(index);
    fillKeyEventsTo(index);
    if (replaceChar && index < m_keyEvents.size()) {
        replaceKeyEntry(index, empty);
        return true;
    }
    m_keyEvents.insert(index, empty);
    registerUndo([this, index] { removeEventForCharacter(index); });
    return true;
}

void WrenEvents::placeEntry(const WrenTimeStampPtr &entry, bool replaceChar)
{
    if (entry->isEmpty())
        addNullChar(entry->index(), replaceChar);
    else
        insertEvent(entry, replaceChar);
}

void WrenEvents::removeFromEvents(const std::vector<const WrenTimeStamp *> &stamps)
{
    // Each removal scans and shifts the list: past a few, one filtering pass is cheaper.
    constexpr size_t kSingleRemovals = 8;
    if (stamps.size() <= kSingleRemovals) {
        for (const WrenTimeStamp *stamp : stamps)
            m_events.removeLast(stamp);
        return;
    }
    m_events.removeAll({stamps.begin(), stamps.end()});
}

void WrenEvents::replaceCharacters(uint32_t location, uint32_t oldLength, const StampList &entries)
{
    const size_t newLength = entries.size();
    if (size_t(location) + oldLength > m_keyEvents.size()) {
        // Characters beyond the list: the single operations fill the gap as they go.
        for (size_t i = 0; i < newLength; ++i)
            placeEntry(entries[i], i < oldLength);
        for (uint32_t p = location + oldLength; p-- > location + newLength;)
            removeEventForCharacter(p);
        return;
    }
    const size_t replaced = std::min<size_t>(oldLength, newLength);
    StampList old;
    old.reserve(oldLength);
    std::vector<const WrenTimeStamp *> leaving;
    for (auto it = m_keyEvents.iteratorAt(location); old.size() < oldLength; ++it) {
        old.push_back(*it);
        if (!(*it)->isEmpty())
            leaving.push_back(it->get());
    }
    for (size_t i = 0; i < replaced; ++i)
        registerUndo([this, entry = old[i]] { insertEvent(entry, true); });
    for (size_t i = replaced; i < newLength; ++i) {
        const WrenTimeStampPtr entry = entries[i];
        const auto index = static_cast<uint32_t>(location + i);
        if (entry->isEmpty())
            registerUndo([this, index] { removeEventForCharacter(index); });
        else
            registerUndo([this, entry] { removeEvent(entry); });
    }
    for (size_t i = oldLength; i-- > newLength;)
        registerUndo([this, entry = old[i]] { insertEvent(entry, false); });
    removeFromEvents(leaving);

    m_keyEvents.erase(location, oldLength);
    m_keyEvents.insert(location, entries.begin(), entries.end());
    for (const WrenTimeStampPtr &entry : entries) {
        if (!entry->isEmpty())
            m_events.insertInOrder(entry);
    }
}

void WrenEvents::removeAllSlidesEvents()
{
    const std::vector<WrenTimeStampPtr> slides = m_events.slideStamps();
    for (const WrenTimeStampPtr &slide : slides)
        removeEvent(slide);
    if (!slides.empty() && m_um)
        m_um->setActionName(QStringLiteral("Forget All Slide Changes"));
}

// Sessions

void WrenEvents::insertSession(int32_t session, double length)
{
    SessionChanges moved;
    for (const WrenTimeStampPtr &stamp : m_events) {
        if (stamp->session() >= session) {
            moved.emplace_back(stamp, stamp->session());
            stamp->setSession(nextSession(stamp->session()));
        }
    }
    if (!moved.empty())
        registerUndo([this, moved = std::move(moved)] { restoreSessions(moved); });

    SessionLengths shifted;
    for (auto it = m_sessionLengths.cbegin(); it != m_sessionLengths.cend(); ++it)
        shifted.insert(it.key() >= session ? nextSession(it.key()) : it.key(), it.value());
    shifted.insert(session, toLength(length));
    restoreSessionLengths(shifted);
}

void WrenEvents::restoreSessions(const SessionChanges &changes)
{
    SessionChanges current;
    current.reserve(changes.size());
    for (const auto &[stamp, session] : changes) {
        current.emplace_back(stamp, stamp->session());
        stamp->setSession(session);
    }
    registerUndo([this, current = std::move(current)] { restoreSessions(current); });
}

void WrenEvents::restoreSessionLengths(const SessionLengths &lengths)
{
    registerUndo([this, previous = m_sessionLengths] { restoreSessionLengths(previous); });
    m_sessionLengths = lengths;
}

void WrenEvents::addSessionLength(float length, int32_t session)
{
    m_sessionLengths.insert(session, length);
    m_hasSessionLengths = true;
}

void WrenEvents::resetSessionLengthTo(double length)
{
    restoreSessionLengths(SessionLengths{{0, toLength(length)}});
}

void WrenEvents::resetEventsToFirstSessionWithSessionLengths(const QList<double> &lengths)
{
    auto saved = std::make_shared<SavedEventArrays>();
    saved->oldKeyEvents = StampList(m_keyEvents.begin(), m_keyEvents.end());
    std::vector<SavedEventArrays::Timing> timings;
    timings.reserve(m_events.size());
    for (const WrenTimeStampPtr &stamp : m_events)
        timings.push_back({stamp, stamp->session(), stamp->offset()});
    saved->oldEvents = std::move(timings);
    saved->lengths = lengths;

    // lengthsBefore[n]: the sessions before session n together, for n up to the known sessions.
    std::vector<double> lengthsBefore(size_t(lengths.size()) + 1, 0.0);
    for (qsizetype i = 0; i < lengths.size(); ++i)
        lengthsBefore[size_t(i) + 1] = lengthsBefore[size_t(i)] + lengths[i];
    for (const WrenTimeStampPtr &stamp : m_events) {
        const auto before =
            static_cast<size_t>(std::clamp<int64_t>(stamp->session(), 0, lengths.size()));
        stamp->setOffset(stamp->offset() + lengthsBefore[before]);
        stamp->setSession(0);
    }
    registerUndo([this, saved] { restoreEventArrays(*saved); });
}

void WrenEvents::restoreEventArrays(const SavedEventArrays &saved)
{
    if (!saved.oldKeyEvents || !saved.oldEvents)
        return;
    StampList events;
    events.reserve(saved.oldEvents->size());
    for (const SavedEventArrays::Timing &timing : *saved.oldEvents) {
        timing.stamp->setSession(timing.session);
        timing.stamp->setOffset(timing.offset);
        events.push_back(timing.stamp);
    }
    m_events.assign(std::move(events));
    m_keyEvents.assign(*saved.oldKeyEvents);
    if (saved.lengths) {
        registerUndo([this, lengths = *saved.lengths] {
            resetEventsToFirstSessionWithSessionLengths(lengths);
        });
    }
}

// Queries

WrenTimeStampPtr WrenEvents::getEvent(size_t i) const
{
    return i < m_events.size() ? m_events[i] : nullptr;
}

std::optional<size_t> WrenEvents::indexOfEvent(const WrenTimeStampPtr &stamp) const
{
    return stamp ? m_events.indexOf(stamp.get()) : std::nullopt;
}

WrenTimeStampPtr WrenEvents::getEventForCharacter(uint32_t index, bool includeEmpties) const
{
    size_t position = index;
    if (position == m_keyEvents.size() && !m_keyEvents.empty())
        --position;
    if (position >= m_keyEvents.size())
        return nullptr;
    const WrenTimeStampPtr &entry = m_keyEvents[position];
    return entry->isEmpty() && !includeEmpties ? nullptr : entry;
}

WrenTimeStampPtr WrenEvents::lastKeyEvent() const
{
    return m_keyEvents.empty() ? nullptr : m_events.last(WrenTimeStampTypeKey);
}

WrenTimeStampPtr WrenEvents::lastSlideEvent() const
{
    return m_events.last(WrenTimeStampTypeSlide);
}

WrenTimeStampPtr WrenEvents::lastEventBeforeOffset(double offset, int32_t session,
                                                   int32_t type) const
{
    return m_events.lastAtOrBefore(session, offset, type);
}

WrenTimeStampPtr WrenEvents::lastEventBeforeEvent(const WrenTimeStampPtr &stamp, int32_t type) const
{
    return stamp ? m_events.lastBefore(stamp.get(), type) : nullptr;
}

double WrenEvents::durationOfSlideShowing(const WrenTimeStamp &slide,
                                          const WrenTimeStamp *next) const
{
    if (next) {
        double between = 0.0;
        for (auto it = m_sessionLengths.lowerBound(slide.session());
             it != m_sessionLengths.cend() && it.key() < next->session(); ++it)
            between += it.value();
        return next->offset() - slide.offset() + between;
    }
    // The last slide change lasts to the end of the recording.
    double toEnd = m_sessionLengths.value(slide.session(), 0.0f);
    for (int32_t session = slide.session();
         session < std::numeric_limits<int32_t>::max() && m_sessionLengths.contains(session + 1);
         ++session)
        toEnd += m_sessionLengths.value(session + 1);
    return toEnd - slide.offset();
}

WrenTimeStampPtr WrenEvents::getEventForSlide(uint32_t slide) const
{
    const std::vector<WrenTimeStampPtr> slides = m_events.slideStamps();
    WrenTimeStampPtr longest;
    double longestDuration = -1.0;
    for (size_t i = 0; i < slides.size(); ++i) {
        if (slides[i]->index() != slide)
            continue;
        const WrenTimeStamp *next = i + 1 < slides.size() ? slides[i + 1].get() : nullptr;
        const double duration = durationOfSlideShowing(*slides[i], next);
        if (duration > longestDuration) {
            longest = slides[i];
            longestDuration = duration;
        }
    }
    return longest;
}

double WrenEvents::recordedLengthsBelow(int64_t session) const
{
    // Counts sessions only up to the number of recorded lengths; a missing one counts 0.
    const int64_t end = std::min<int64_t>(session, m_sessionLengths.size());
    double sum = 0.0;
    for (int32_t j = 0; j < end; ++j)
        sum += m_sessionLengths.value(j, 0.0f);
    return sum;
}

std::unique_ptr<WrenEvents> WrenEvents::eventsWithMergedSessions() const
{
    auto merged = std::make_unique<WrenEvents>();
    int32_t lastSession = 0;
    double shift = 0.0;
    for (const WrenTimeStampPtr &stamp : m_events) {
        if (stamp->session() > lastSession) {
            shift = recordedLengthsBelow(stamp->session());
            lastSession = stamp->session();
        }
        const double offset = stamp->offset() + shift;
        if (stamp->type() == WrenTimeStampTypeKey)
            merged->m_events.append(WrenTimeStamp::initWithKey(stamp->index(), 0, offset));
        else if (stamp->type() == WrenTimeStampTypeSlide)
            merged->m_events.append(WrenTimeStamp::initWithSlide(stamp->index(), 0, offset));
        else
            lq::log(QStringLiteral("Program error, trying to add an unknown event type.\n"));
    }
    merged->addSessionLength(toLength(recordedLengthsBelow(m_sessionLengths.size())), 0);
    // Key stamps that this store keeps out of its character list stay out of the copy's too.
    merged->rebuildKeyEvents(static_cast<uint32_t>(m_keyEvents.size()));
    return merged;
}

void WrenEvents::printEvents() const
{
    printEventsWithString(nullptr);
}

void WrenEvents::printEventsWithString(const QString *text) const
{
    const QString characters =
        text ? QStringLiteral(" and %1 characters").arg(text->size()) : QString();
    lq::log(QStringLiteral("There are %1 events%2\n").arg(QString::number(count()), characters));
    for (const WrenTimeStampPtr &stamp : m_events) {
        const char *typeWord = stamp->type() == WrenTimeStampTypeKey     ? "Key"
                               : stamp->type() == WrenTimeStampTypeSlide ? "Slide"
                                                                         : "None";
        QString line =
            QString::asprintf("Session = %d, offset = %f, type = %s, index = %u", stamp->session(),
                              stamp->offset(), typeWord, stamp->index());
        if (text && stamp->index() < text->size())
            line += QStringLiteral(", char = ") + text->at(stamp->index());
        lq::log(line + QLatin1Char('\n'));
    }
}

// Archive

namespace {

const QStringList &eventsClassNames()
{
    static const QStringList names{QLatin1String(WrenEvents::kArchiveClassName),
                                   QStringLiteral("NSObject")};
    return names;
}

// A stamp's fields, archived as the stamp.
class StampArchiveCopy final : public lq::Archivable
{
public:
    explicit StampArchiveCopy(const WrenTimeStamp::Fields &fields) : m_fields(fields) {}
    QStringList archiveClassNames() const override
    {
        static const QStringList names{QLatin1String(WrenTimeStamp::kArchiveClassName),
                                       QStringLiteral("NSObject")};
        return names;
    }
    void encodeWithCoder(lq::KeyedArchiver &coder) const override
    {
        WrenTimeStamp::encodeFields(coder, m_fields);
    }

private:
    WrenTimeStamp::Fields m_fields;
};

// The stamps' fields and the sessions' lengths at one moment. The fields are taken as plain
// values, the stamps' archivable copies made only when encoded (on a save's own thread).
class EventsArchiveCopy final : public lq::Archivable
{
public:
    EventsArchiveCopy(const EventTimeline &events, const WrenEvents::CharacterList &keys,
                      const WrenEvents::SessionLengths &lengths)
        : m_lengths(lengths)
    {
        const ChunkStarts starts = keys.chunkStarts();
        m_fields.reserve(events.size());
        for (const WrenTimeStampPtr &stamp : events)
            m_fields.push_back(stamp->fields(starts));
    }
    QStringList archiveClassNames() const override { return eventsClassNames(); }
    void encodeWithCoder(lq::KeyedArchiver &coder) const override
    {
        // The stamps live in one block: each is handed out under the block's ownership.
        auto copies =
            std::make_shared<std::vector<StampArchiveCopy>>(m_fields.begin(), m_fields.end());
        lq::ArchiveArray stamps;
        stamps.reserve(qsizetype(copies->size()));
        for (StampArchiveCopy &stamp : *copies)
            stamps.append(lq::ArchiveValue::object(lq::ArchivablePtr(copies, &stamp)));
        lq::ArchiveDictionary lengths;
        for (auto it = m_lengths.cbegin(); it != m_lengths.cend(); ++it)
            lengths.append(
                {lq::ArchiveValue::integer(it.key()), lq::ArchiveValue::real(it.value())});
        coder.encodeObject(kEventsKey, lq::ArchiveValue::array(std::move(stamps)));
        coder.encodeObject(kSessionsKey, lq::ArchiveValue::dictionary(std::move(lengths)));
    }

private:
    std::vector<WrenTimeStamp::Fields> m_fields;
    WrenEvents::SessionLengths m_lengths;
};

} // namespace

QStringList WrenEvents::archiveClassNames() const
{
    return eventsClassNames();
}

lq::ArchivablePtr WrenEvents::archiveCopy() const
{
    return std::make_shared<EventsArchiveCopy>(m_events, m_keyEvents, m_sessionLengths);
}

void WrenEvents::encodeWithCoder(lq::KeyedArchiver &coder) const
{
    archiveCopy()->encodeWithCoder(coder);
}

lq::ArchiveContext WrenEvents::decodingContext(qsizetype textLength)
{
    return {{QLatin1String(kTextLengthContext), static_cast<int64_t>(textLength)}};
}

lq::ArchivablePtr WrenEvents::initWithCoder(lq::KeyedUnarchiver &coder)
{
    auto events = std::make_shared<WrenEvents>();
    if (!events->decodeEvents(coder) || !events->decodeSessionLengths(coder))
        return nullptr;
    return events;
}

bool WrenEvents::decodeEvents(lq::KeyedUnarchiver &coder)
{
    const lq::ArchiveValue value = coder.decodeObject(kEventsKey);
    if (coder.hasFailed())
        return false;
    if (value.isNull())
        return true;
    if (value.kind() != lq::ArchiveValue::Kind::Array) {
        coder.failWithReason(QStringLiteral("The events of a recording are not a list."));
        return false;
    }
    StampList stamps;
    stamps.reserve(size_t(value.toArray().size()));
    for (const lq::ArchiveValue &item : value.toArray()) {
        WrenTimeStampPtr stamp = item.objectAs<WrenTimeStamp>();
        if (!stamp) {
            coder.failWithReason(QStringLiteral("An event of a recording is not a time stamp."));
            return false;
        }
        stamps.push_back(std::move(stamp));
    }
    m_events.assign(std::move(stamps));
    // Without the text's length, the archive's own size bounds the list: no stamp it holds
    // costs less than a byte.
    const int64_t limit = coder.contextValue(QLatin1String(kTextLengthContext))
                              .value_or(static_cast<int64_t>(coder.archiveSize()));
    rebuildKeyEvents(static_cast<uint32_t>(std::clamp<int64_t>(limit, 0, kMaxCharacterCount)));
    return true;
}

bool WrenEvents::decodeSessionLengths(lq::KeyedUnarchiver &coder)
{
    const lq::ArchiveValue value = coder.decodeObject(kSessionsKey);
    if (coder.hasFailed())
        return false;
    if (!value.isNull() && value.kind() != lq::ArchiveValue::Kind::Dictionary) {
        coder.failWithReason(QStringLiteral("The session lengths of a recording are not a table."));
        return false;
    }
    for (const auto &[session, length] : value.toDictionary()) {
        const bool sessionFits = session.kind() == lq::ArchiveValue::Kind::Integer &&
                                 session.toInteger() >= std::numeric_limits<int32_t>::min() &&
                                 session.toInteger() <= std::numeric_limits<int32_t>::max();
        if (!sessionFits || !length.isNumber()) {
            coder.failWithReason(
                QStringLiteral("A session length of a recording is not a number of seconds."));
            return false;
        }
        m_sessionLengths.insert(static_cast<int32_t>(session.toInteger()),
                                toLength(length.toReal()));
    }
    m_hasSessionLengths = !m_sessionLengths.isEmpty();
    return true;
}
