#include "model/EventTimeline.h"

#include <algorithm>

namespace {

// A slide change at most this far ahead of a moment counts as shown at that moment.
constexpr double kSlideLookAhead = 0.01;

} // namespace

bool EventTimeline::inOrder(const Moment &earlier, const Moment &later)
{
    return earlier.session < later.session ||
           (earlier.session == later.session && earlier.offset <= later.offset);
}

bool EventTimeline::earlier(const Moment &moment, const Moment &than)
{
    return moment.session < than.session ||
           (moment.session == than.session && moment.offset < than.offset);
}

bool EventTimeline::notAfter(const Moment &moment, const Moment &than)
{
    return !(moment.session > than.session ||
             (moment.session == than.session && moment.offset > than.offset));
}

bool EventTimeline::hasSubsequence(int32_t type)
{
    return type == WrenTimeStampTypeKey || type == WrenTimeStampTypeSlide;
}

EventTimeline::Entries &EventTimeline::subsequence(int32_t type) const
{
    return type == WrenTimeStampTypeKey ? m_keys : m_slides;
}

void EventTimeline::refresh() const
{
    if (m_timingSeen != WrenTimeStamp::timingChangeCount())
        rebuild();
}

void EventTimeline::rebuild() const
{
    std::vector<Entry> entries;
    entries.reserve(m_entries.size());
    for (const Entry &entry : m_entries)
        entries.push_back({momentOf(*entry.stamp), entry.stamp});
    fill(std::move(entries));
}

void EventTimeline::fill(std::vector<Entry> entries) const
{
    m_timingSeen = WrenTimeStamp::timingChangeCount();
    std::vector<Entry> keys;
    std::vector<Entry> slides;
    m_disorder = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i > 0 && !inOrder(entries[i - 1].moment, entries[i].moment))
            ++m_disorder;
        if (entries[i].stamp->type() == WrenTimeStampTypeKey)
            keys.push_back(entries[i]);
        else if (entries[i].stamp->type() == WrenTimeStampTypeSlide)
            slides.push_back(entries[i]);
    }
    m_entries.assign(std::move(entries));
    m_keys.assign(std::move(keys));
    m_slides.assign(std::move(slides));
}

void EventTimeline::countDisorder() const
{
    m_disorder = 0;
    const Moment *previous = nullptr;
    for (const Entry &entry : m_entries) {
        if (previous && !inOrder(*previous, entry.moment))
            ++m_disorder;
        previous = &entry.moment;
    }
}

bool EventTimeline::isOrdered() const
{
    return m_disorder == 0;
}

size_t EventTimeline::disorderAround(size_t position) const
{
    size_t count = 0;
    const Moment &moment = m_entries[position].moment;
    if (position > 0 && !inOrder(m_entries[position - 1].moment, moment))
        ++count;
    if (position + 1 < m_entries.size() && !inOrder(moment, m_entries[position + 1].moment))
        ++count;
    return count;
}

void EventTimeline::assign(StampList stamps)
{
    std::vector<Entry> entries;
    entries.reserve(stamps.size());
    for (WrenTimeStampPtr &stamp : stamps)
        entries.push_back({momentOf(*stamp), std::move(stamp)});
    fill(std::move(entries));
}

std::pair<size_t, size_t> EventTimeline::runAt(const Entries &entries, const Moment &moment)
{
    const auto first =
        entries.partitionPoint([&moment](const Moment &m) { return earlier(m, moment); });
    const auto end =
        entries.partitionPoint([&moment](const Moment &m) { return notAfter(m, moment); });
    return {entries.positionOf(first), entries.positionOf(end)};
}

std::optional<size_t> EventTimeline::lastAt(const Entries &entries, const Moment &moment,
                                            const WrenTimeStamp *stamp)
{
    const auto [first, end] = runAt(entries, moment);
    Entries::Iterator it = entries.iteratorAt(end);
    for (size_t i = end; i-- > first;) {
        if ((--it)->stamp.get() == stamp)
            return i;
    }
    return std::nullopt;
}

std::vector<size_t> EventTimeline::positionsOf(const Entries &entries, const RemovedSet &removed)
{
    // Every occurrence of a stamp lies in the run of its moment: only those runs are searched,
    // each once.
    std::vector<std::pair<size_t, size_t>> runs;
    runs.reserve(removed.size());
    for (const WrenTimeStamp *stamp : removed) {
        const std::pair<size_t, size_t> run = runAt(entries, momentOf(*stamp));
        if (run.first < run.second)
            runs.push_back(run);
    }
    std::sort(runs.begin(), runs.end());
    std::vector<size_t> positions;
    size_t searched = 0;
    for (const auto &[first, end] : runs) {
        size_t i = std::max(first, searched);
        for (Entries::Iterator it = entries.iteratorAt(i); i < end; ++i, ++it) {
            if (removed.count(it->stamp.get()) > 0)
                positions.push_back(i);
        }
        searched = std::max(searched, end);
    }
    return positions;
}

std::vector<size_t> EventTimeline::positionsByScan(const Entries &entries,
                                                   const RemovedSet &removed)
{
    std::vector<size_t> positions;
    size_t i = 0;
    for (const Entry &entry : entries) {
        if (removed.count(entry.stamp.get()) > 0)
            positions.push_back(i);
        ++i;
    }
    return positions;
}

void EventTimeline::removeAll(const RemovedSet &removed)
{
    refresh();
    if (removed.empty())
        return;
    // Taking stamps out of a list in order leaves it in order.
    const bool ordered = isOrdered();
    const auto positions = ordered ? positionsOf : positionsByScan;
    for (Entries *entries : {&m_entries, &m_keys, &m_slides})
        entries->eraseAt(positions(*entries, removed));
    if (!ordered)
        countDisorder();
}

void EventTimeline::append(const WrenTimeStampPtr &stamp)
{
    refresh();
    const Moment moment = momentOf(*stamp);
    if (!m_entries.empty() && !inOrder(m_entries.back().moment, moment))
        ++m_disorder;
    m_entries.insert(m_entries.size(), {moment, stamp});
    if (hasSubsequence(stamp->type())) {
        Entries &entries = subsequence(stamp->type());
        entries.insert(entries.size(), {moment, stamp});
    }
}

template <class Pred>
EventTimeline::Entries::Iterator EventTimeline::firstFailing(Pred pred) const
{
    if (isOrdered())
        return m_entries.partitionPoint(pred);
    return std::find_if_not(m_entries.begin(), m_entries.end(),
                            [&pred](const Entry &e) { return pred(e.moment); });
}

size_t EventTimeline::insertionPosition(const Moment &moment) const
{
    return m_entries.positionOf(
        firstFailing([&moment](const Moment &m) { return inOrder(m, moment); }));
}

EventTimeline::Entries::Iterator EventTimeline::firstAfter(const Moment &moment) const
{
    return firstFailing([&moment](const Moment &m) { return notAfter(m, moment); });
}

EventTimeline::Entries::Iterator EventTimeline::firstNotBefore(const Moment &moment) const
{
    return firstFailing([&moment](const Moment &m) { return earlier(m, moment); });
}

void EventTimeline::insertInOrder(const WrenTimeStampPtr &stamp)
{
    refresh();
    const Moment moment = momentOf(*stamp);
    const size_t position = insertionPosition(moment);
    const int32_t type = stamp->type();
    if (hasSubsequence(type)) {
        Entries &entries = subsequence(type);
        size_t entryPosition = 0;
        if (isOrdered()) {
            entryPosition = entries.positionOf(
                entries.partitionPoint([&moment](const Moment &m) { return inOrder(m, moment); }));
        } else {
            const auto later =
                std::count_if(m_entries.iteratorAt(position), m_entries.end(),
                              [type](const Entry &e) { return e.stamp->type() == type; });
            entryPosition = entries.size() - static_cast<size_t>(later);
        }
        entries.insert(entryPosition, {moment, stamp});
    }
    if (position > 0 && position < m_entries.size() &&
        !inOrder(m_entries[position - 1].moment, m_entries[position].moment))
        --m_disorder;
    m_entries.insert(position, {moment, stamp});
    m_disorder += disorderAround(position);
}

bool EventTimeline::removeLast(const WrenTimeStamp *stamp)
{
    refresh();
    const int32_t type = stamp->type();
    std::optional<size_t> found;
    std::optional<size_t> entry;
    if (isOrdered()) {
        const Moment moment = momentOf(*stamp);
        found = lastAt(m_entries, moment, stamp);
        if (found && hasSubsequence(type))
            entry = lastAt(subsequence(type), moment, stamp);
    } else {
        size_t laterOfType = 0;
        Entries::Iterator it = m_entries.end();
        for (size_t i = m_entries.size(); i-- > 0;) {
            const WrenTimeStamp *candidate = (--it)->stamp.get();
            if (candidate == stamp) {
                found = i;
                break;
            }
            if (candidate->type() == type)
                ++laterOfType;
        }
        if (found && hasSubsequence(type))
            entry = subsequence(type).size() - 1 - laterOfType;
    }
    if (!found)
        return false;

    const size_t position = *found;
    m_disorder -= disorderAround(position);
    if (entry)
        subsequence(type).erase(*entry);
    m_entries.erase(position);
    if (position > 0 && position < m_entries.size() &&
        !inOrder(m_entries[position - 1].moment, m_entries[position].moment))
        ++m_disorder;
    return true;
}

EventTimeline::Entries::Iterator EventTimeline::find(const WrenTimeStamp *stamp) const
{
    refresh();
    const auto isStamp = [stamp](const Entry &e) { return e.stamp.get() == stamp; };
    if (!isOrdered())
        return std::find_if(m_entries.begin(), m_entries.end(), isStamp);
    // Only the run of stamps at the same moment can hold it.
    const Moment moment = momentOf(*stamp);
    for (Entries::Iterator it = firstNotBefore(moment);
         it != m_entries.end() && it->moment.session == moment.session &&
         !(it->moment.offset > moment.offset);
         ++it) {
        if (isStamp(*it))
            return it;
    }
    return m_entries.end();
}

std::optional<size_t> EventTimeline::indexOf(const WrenTimeStamp *stamp) const
{
    const Entries::Iterator found = find(stamp);
    if (found == m_entries.end())
        return std::nullopt;
    return m_entries.positionOf(found);
}

WrenTimeStampPtr EventTimeline::lastOfTypeBefore(Entries::Iterator end, int32_t type) const
{
    while (end != m_entries.begin()) {
        if ((--end)->stamp->type() == type || type < 0)
            return end->stamp;
    }
    return nullptr;
}

WrenTimeStampPtr EventTimeline::lastAtOrBefore(int32_t session, double offset, int32_t type) const
{
    refresh();
    const Moment moment{session, offset};
    const Entries::Iterator after = firstAfter(moment);
    if (type == WrenTimeStampTypeSlide && after != m_entries.end()) {
        const WrenTimeStampPtr &next = after->stamp;
        if (next->type() == WrenTimeStampTypeSlide && next->session() == session &&
            offset >= next->offset() - kSlideLookAhead)
            return next;
    }
    if (isOrdered() && hasSubsequence(type)) {
        const Entries &entries = subsequence(type);
        const Entries::Iterator found =
            entries.partitionPoint([&moment](const Moment &m) { return notAfter(m, moment); });
        return found == entries.begin() ? nullptr : std::prev(found)->stamp;
    }
    return lastOfTypeBefore(after, type);
}

WrenTimeStampPtr EventTimeline::lastBefore(const WrenTimeStamp *stamp, int32_t type) const
{
    Entries::Iterator it = find(stamp);
    if (it == m_entries.end())
        return nullptr;
    if (type < 0 || !isOrdered() || !hasSubsequence(type))
        return lastOfTypeBefore(it, type);
    // Stamps at the same moment: their list order decides. Before them, the subsequence does.
    const Moment moment = momentOf(*stamp);
    while (it != m_entries.begin()) {
        const Entry &before = *--it;
        if (before.moment.session != moment.session || before.moment.offset < moment.offset)
            break;
        if (before.stamp->type() == type)
            return before.stamp;
    }
    const Entries &entries = subsequence(type);
    const Entries::Iterator found =
        entries.partitionPoint([&moment](const Moment &m) { return earlier(m, moment); });
    return found == entries.begin() ? nullptr : std::prev(found)->stamp;
}

WrenTimeStampPtr EventTimeline::last(int32_t type) const
{
    if (!hasSubsequence(type))
        return lastOfTypeBefore(m_entries.end(), type);
    refresh();
    const Entries &entries = subsequence(type);
    return entries.empty() ? nullptr : entries.back().stamp;
}

std::vector<WrenTimeStampPtr> EventTimeline::slideStamps() const
{
    refresh();
    std::vector<WrenTimeStampPtr> slides;
    slides.reserve(m_slides.size());
    for (const Entry &entry : m_slides)
        slides.push_back(entry.stamp);
    return slides;
}

std::optional<size_t> EventTimeline::firstLaterThan(int32_t session, double offset) const
{
    refresh();
    const Entries::Iterator after = firstAfter({session, offset});
    return after != m_entries.end() ? std::optional<size_t>(m_entries.positionOf(after))
                                    : std::nullopt;
}

std::optional<size_t> EventTimeline::lastEarlierThan(int32_t session, double offset) const
{
    refresh();
    const Moment moment{session, offset};
    if (isOrdered()) {
        const Entries::Iterator notBefore = firstNotBefore(moment);
        return notBefore != m_entries.begin()
                   ? std::optional<size_t>(m_entries.positionOf(std::prev(notBefore)))
                   : std::nullopt;
    }
    Entries::Iterator it = m_entries.end();
    for (size_t i = m_entries.size(); i-- > 0;) {
        if (earlier((--it)->moment, moment))
            return i;
    }
    return std::nullopt;
}
