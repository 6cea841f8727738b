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

bool EventTimeline::hasSubsequence(int32_t type)
{
    return type == WrenTimeStampTypeKey || type == WrenTimeStampTypeSlide;
}

EventTimeline::Subsequence &EventTimeline::subsequence(int32_t type) const
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
    m_timingSeen = WrenTimeStamp::timingChangeCount();
    m_moments.clear();
    m_moments.reserve(m_stamps.size());
    m_keys.clear();
    m_slides.clear();
    m_disorder = 0;
    for (const WrenTimeStampPtr &stamp : m_stamps) {
        const Moment moment = momentOf(*stamp);
        if (!m_moments.empty() && !inOrder(m_moments.back(), moment))
            ++m_disorder;
        m_moments.push_back(moment);
        if (hasSubsequence(stamp->type()))
            subsequence(stamp->type()).push_back({moment, stamp});
    }
}

bool EventTimeline::isOrdered() const
{
    return m_disorder == 0;
}

size_t EventTimeline::disorderAround(size_t position) const
{
    size_t count = 0;
    if (position > 0 && !inOrder(m_moments[position - 1], m_moments[position]))
        ++count;
    if (position + 1 < m_moments.size() && !inOrder(m_moments[position], m_moments[position + 1]))
        ++count;
    return count;
}

void EventTimeline::assign(StampList stamps)
{
    m_stamps = std::move(stamps);
    rebuild();
}

namespace {

// Erases the entries at positions (ascending, distinct) from each of the parallel vectors.
template <class... Vectors>
void eraseAt(const std::vector<size_t> &positions, Vectors &...vectors)
{
    if (positions.empty())
        return;
    const size_t size = std::min({vectors.size()...});
    size_t kept = positions.front();
    size_t next = 0;
    for (size_t i = kept; i < size; ++i) {
        if (next < positions.size() && positions[next] == i) {
            ++next;
            continue;
        }
        ((vectors[kept] = std::move(vectors[i])), ...);
        ++kept;
    }
    (vectors.resize(kept), ...);
}

} // namespace

template <class Sequence>
std::pair<size_t, size_t> EventTimeline::runAt(const Sequence &sequence, const Moment &moment)
{
    const auto earlier = [&moment](const auto &entry) {
        const Moment &m = momentIn(entry);
        return m.session < moment.session ||
               (m.session == moment.session && m.offset < moment.offset);
    };
    const auto notAfter = [&moment](const auto &entry) {
        const Moment &m = momentIn(entry);
        return m.session < moment.session ||
               (m.session == moment.session && !(m.offset > moment.offset));
    };
    const auto first = std::partition_point(sequence.begin(), sequence.end(), earlier);
    const auto end = std::partition_point(first, sequence.end(), notAfter);
    return {static_cast<size_t>(first - sequence.begin()),
            static_cast<size_t>(end - sequence.begin())};
}

template <class Sequence, class StampAt>
std::optional<size_t> EventTimeline::lastAt(const Sequence &sequence, const Moment &moment,
                                            const WrenTimeStamp *stamp, StampAt stampAt)
{
    const auto [first, end] = runAt(sequence, moment);
    for (size_t i = end; i-- > first;) {
        if (stampAt(i) == stamp)
            return i;
    }
    return std::nullopt;
}

template <class Sequence, class StampAt>
std::vector<size_t> EventTimeline::positionsOf(const Sequence &sequence, const RemovedSet &removed,
                                               StampAt stampAt)
{
    // Every occurrence of a stamp lies in the run of its moment: only those runs are searched,
    // each once.
    std::vector<std::pair<size_t, size_t>> runs;
    runs.reserve(removed.size());
    for (const WrenTimeStamp *stamp : removed) {
        const std::pair<size_t, size_t> run = runAt(sequence, momentOf(*stamp));
        if (run.first < run.second)
            runs.push_back(run);
    }
    std::sort(runs.begin(), runs.end());
    std::vector<size_t> positions;
    size_t searched = 0;
    for (const auto &[first, end] : runs) {
        for (size_t i = std::max(first, searched); i < end; ++i) {
            if (removed.count(stampAt(i)) > 0)
                positions.push_back(i);
        }
        searched = std::max(searched, end);
    }
    return positions;
}

void EventTimeline::removeAll(const RemovedSet &removed)
{
    refresh();
    if (removed.empty())
        return;
    if (isOrdered())
        removeAllInOrder(removed);
    else
        removeAllByScan(removed);
}

void EventTimeline::removeAllInOrder(const RemovedSet &removed)
{
    // Taking stamps out of a list in order leaves it in order.
    eraseAt(positionsOf(m_moments, removed, [this](size_t i) { return m_stamps[i].get(); }),
            m_stamps, m_moments);
    for (Subsequence *entries : {&m_keys, &m_slides}) {
        eraseAt(positionsOf(*entries, removed,
                            [entries](size_t i) { return (*entries)[i].stamp.get(); }),
                *entries);
    }
}

void EventTimeline::removeAllByScan(const RemovedSet &removed)
{
    const auto isRemoved = [&removed](const WrenTimeStamp *stamp) {
        return removed.count(stamp) > 0;
    };
    size_t kept = 0;
    for (size_t i = 0; i < m_stamps.size(); ++i) {
        if (isRemoved(m_stamps[i].get()))
            continue;
        if (kept != i) {
            m_stamps[kept] = std::move(m_stamps[i]);
            m_moments[kept] = m_moments[i];
        }
        ++kept;
    }
    m_stamps.resize(kept);
    m_moments.resize(kept);
    for (Subsequence *entries : {&m_keys, &m_slides})
        std::erase_if(*entries,
                      [&](const TypedEntry &entry) { return isRemoved(entry.stamp.get()); });
    m_disorder = 0;
    for (size_t i = 1; i < m_moments.size(); ++i) {
        if (!inOrder(m_moments[i - 1], m_moments[i]))
            ++m_disorder;
    }
}

void EventTimeline::append(const WrenTimeStampPtr &stamp)
{
    refresh();
    const Moment moment = momentOf(*stamp);
    if (!m_moments.empty() && !inOrder(m_moments.back(), moment))
        ++m_disorder;
    m_stamps.push_back(stamp);
    m_moments.push_back(moment);
    if (hasSubsequence(stamp->type()))
        subsequence(stamp->type()).push_back({moment, stamp});
}

size_t EventTimeline::insertionPosition(const Moment &moment) const
{
    const auto passes = [&moment](const Moment &m) { return inOrder(m, moment); };
    const auto found = isOrdered()
                           ? std::partition_point(m_moments.begin(), m_moments.end(), passes)
                           : std::find_if_not(m_moments.begin(), m_moments.end(), passes);
    return static_cast<size_t>(found - m_moments.begin());
}

void EventTimeline::insertInOrder(const WrenTimeStampPtr &stamp)
{
    refresh();
    const Moment moment = momentOf(*stamp);
    const size_t position = insertionPosition(moment);
    const int32_t type = stamp->type();
    if (hasSubsequence(type)) {
        Subsequence &entries = subsequence(type);
        size_t entryPosition = 0;
        if (isOrdered()) {
            const auto passes = [&moment](const TypedEntry &e) {
                return inOrder(e.moment, moment);
            };
            entryPosition = static_cast<size_t>(
                std::partition_point(entries.begin(), entries.end(), passes) - entries.begin());
        } else {
            const auto later = std::count_if(
                m_stamps.begin() + static_cast<std::ptrdiff_t>(position), m_stamps.end(),
                [type](const WrenTimeStampPtr &s) { return s->type() == type; });
            entryPosition = entries.size() - static_cast<size_t>(later);
        }
        entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(entryPosition),
                       {moment, stamp});
    }
    if (position > 0 && position < m_moments.size() &&
        !inOrder(m_moments[position - 1], m_moments[position]))
        --m_disorder;
    m_stamps.insert(m_stamps.begin() + static_cast<std::ptrdiff_t>(position), stamp);
    m_moments.insert(m_moments.begin() + static_cast<std::ptrdiff_t>(position), moment);
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
        found = lastAt(m_moments, moment, stamp, [this](size_t i) { return m_stamps[i].get(); });
        if (found && hasSubsequence(type)) {
            const Subsequence &entries = subsequence(type);
            entry = lastAt(entries, moment, stamp,
                           [&entries](size_t i) { return entries[i].stamp.get(); });
        }
    } else {
        size_t laterOfType = 0;
        for (size_t i = m_stamps.size(); i-- > 0;) {
            if (m_stamps[i].get() == stamp) {
                found = i;
                break;
            }
            if (m_stamps[i]->type() == type)
                ++laterOfType;
        }
        if (found && hasSubsequence(type))
            entry = subsequence(type).size() - 1 - laterOfType;
    }
    if (!found)
        return false;

    const size_t position = *found;
    m_disorder -= disorderAround(position);
    if (entry) {
        Subsequence &entries = subsequence(type);
        entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(*entry));
    }
    m_stamps.erase(m_stamps.begin() + static_cast<std::ptrdiff_t>(position));
    m_moments.erase(m_moments.begin() + static_cast<std::ptrdiff_t>(position));
    if (position > 0 && position < m_moments.size() &&
        !inOrder(m_moments[position - 1], m_moments[position]))
        ++m_disorder;
    return true;
}

size_t EventTimeline::positionAfter(const Moment &moment) const
{
    const auto notAfter = [&moment](const Moment &m) {
        return !(m.session > moment.session ||
                 (m.session == moment.session && m.offset > moment.offset));
    };
    const auto found = isOrdered()
                           ? std::partition_point(m_moments.begin(), m_moments.end(), notAfter)
                           : std::find_if_not(m_moments.begin(), m_moments.end(), notAfter);
    return static_cast<size_t>(found - m_moments.begin());
}

std::optional<size_t> EventTimeline::indexOf(const WrenTimeStamp *stamp) const
{
    refresh();
    if (!isOrdered()) {
        const auto found =
            std::find_if(m_stamps.begin(), m_stamps.end(),
                         [stamp](const WrenTimeStampPtr &s) { return s.get() == stamp; });
        if (found == m_stamps.end())
            return std::nullopt;
        return static_cast<size_t>(found - m_stamps.begin());
    }
    // Only the run of stamps at the same moment can hold it.
    const Moment moment = momentOf(*stamp);
    const auto earlier = [&moment](const Moment &m) {
        return m.session < moment.session ||
               (m.session == moment.session && m.offset < moment.offset);
    };
    size_t position = static_cast<size_t>(
        std::partition_point(m_moments.begin(), m_moments.end(), earlier) - m_moments.begin());
    for (; position < m_moments.size() && m_moments[position].session == moment.session &&
           !(m_moments[position].offset > moment.offset);
         ++position) {
        if (m_stamps[position].get() == stamp)
            return position;
    }
    return std::nullopt;
}

WrenTimeStampPtr EventTimeline::lastAtOrBefore(int32_t session, double offset, int32_t type) const
{
    refresh();
    const Moment moment{session, offset};
    const size_t position = positionAfter(moment);
    if (type == WrenTimeStampTypeSlide && position < m_stamps.size()) {
        const WrenTimeStamp &next = *m_stamps[position];
        if (next.type() == WrenTimeStampTypeSlide && next.session() == session &&
            offset >= next.offset() - kSlideLookAhead)
            return m_stamps[position];
    }
    if (type < 0)
        return position > 0 ? m_stamps[position - 1] : nullptr;
    if (isOrdered() && hasSubsequence(type)) {
        const Subsequence &entries = subsequence(type);
        const auto notAfter = [&moment](const TypedEntry &e) {
            return !(e.moment.session > moment.session ||
                     (e.moment.session == moment.session && e.moment.offset > moment.offset));
        };
        const auto found = std::partition_point(entries.begin(), entries.end(), notAfter);
        return found == entries.begin() ? nullptr : std::prev(found)->stamp;
    }
    for (size_t i = position; i-- > 0;) {
        if (m_stamps[i]->type() == type)
            return m_stamps[i];
    }
    return nullptr;
}

WrenTimeStampPtr EventTimeline::lastBefore(const WrenTimeStamp *stamp, int32_t type) const
{
    const std::optional<size_t> position = indexOf(stamp);
    if (!position)
        return nullptr;
    if (type < 0)
        return *position > 0 ? m_stamps[*position - 1] : nullptr;
    if (isOrdered() && hasSubsequence(type)) {
        // Stamps at the same moment: their list order decides. Before them, the subsequence does.
        const Moment moment = momentOf(*stamp);
        for (size_t i = *position; i-- > 0;) {
            if (m_moments[i].session != moment.session || m_moments[i].offset < moment.offset)
                break;
            if (m_stamps[i]->type() == type)
                return m_stamps[i];
        }
        const Subsequence &entries = subsequence(type);
        const auto earlier = [&moment](const TypedEntry &e) {
            return e.moment.session < moment.session ||
                   (e.moment.session == moment.session && e.moment.offset < moment.offset);
        };
        const auto found = std::partition_point(entries.begin(), entries.end(), earlier);
        return found == entries.begin() ? nullptr : std::prev(found)->stamp;
    }
    for (size_t i = *position; i-- > 0;) {
        if (m_stamps[i]->type() == type)
            return m_stamps[i];
    }
    return nullptr;
}

WrenTimeStampPtr EventTimeline::last(int32_t type) const
{
    if (hasSubsequence(type)) {
        refresh();
        const Subsequence &entries = subsequence(type);
        return entries.empty() ? nullptr : entries.back().stamp;
    }
    for (size_t i = m_stamps.size(); i-- > 0;) {
        if (type < 0 || m_stamps[i]->type() == type)
            return m_stamps[i];
    }
    return nullptr;
}

std::vector<WrenTimeStampPtr> EventTimeline::slideStamps() const
{
    refresh();
    std::vector<WrenTimeStampPtr> slides;
    slides.reserve(m_slides.size());
    for (const TypedEntry &entry : m_slides)
        slides.push_back(entry.stamp);
    return slides;
}
