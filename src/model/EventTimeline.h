#pragma once

#include "model/WrenTimeStamp.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_set>
#include <utility>
#include <vector>

// The chronological list of an event store: stamps in (session, offset) order, stamps of equal
// moments in the order they were inserted, except that append() adds at the end unchecked.
//
// Every look-up answers exactly what a scan of the list would. While the list is in order (each
// stamp at or after the one before it, which append() checks) the look-ups and the removals
// search binary, over copies of the moments kept next to the stamps and over per-type
// subsequences; otherwise they scan. The moments are rebuilt when any stamp's session or offset
// has been changed.
class EventTimeline
{
public:
    using StampList = std::vector<WrenTimeStampPtr>;

    const StampList &stamps() const { return m_stamps; }
    size_t size() const { return m_stamps.size(); }

    void assign(StampList stamps);
    void append(const WrenTimeStampPtr &stamp);
    // Before the first stamp that lies later than stamp; equal moments keep insertion order.
    void insertInOrder(const WrenTimeStampPtr &stamp);
    // Removes the last occurrence of stamp; false when it is not in the list.
    bool removeLast(const WrenTimeStamp *stamp);
    // Removes every occurrence of the given stamps, moving the later stamps once.
    void removeAll(const std::unordered_set<const WrenTimeStamp *> &removed);

    // The position of the first occurrence of stamp.
    std::optional<size_t> indexOf(const WrenTimeStamp *stamp) const;
    // The latest stamp of type at or before the moment (any type when type < 0). For slides, a
    // slide change of the same session at most 0.01 s after the moment counts as shown.
    WrenTimeStampPtr lastAtOrBefore(int32_t session, double offset, int32_t type) const;
    // The latest stamp of type before the first occurrence of stamp (any type when type < 0).
    WrenTimeStampPtr lastBefore(const WrenTimeStamp *stamp, int32_t type) const;
    // The latest stamp of type in the whole list.
    WrenTimeStampPtr last(int32_t type) const;
    // The slide stamps, in list order.
    std::vector<WrenTimeStampPtr> slideStamps() const;

private:
    struct Moment
    {
        int32_t session;
        double offset;
    };
    struct TypedEntry
    {
        Moment moment;
        WrenTimeStampPtr stamp;
    };
    using Subsequence = std::vector<TypedEntry>;

    using RemovedSet = std::unordered_set<const WrenTimeStamp *>;

    static Moment momentOf(const WrenTimeStamp &stamp) { return {stamp.session(), stamp.offset()}; }
    static const Moment &momentIn(const Moment &moment) { return moment; }
    static const Moment &momentIn(const TypedEntry &entry) { return entry.moment; }
    static bool inOrder(const Moment &earlier, const Moment &later);
    static bool hasSubsequence(int32_t type);
    // The positions [first, end) of the entries at moment, in a sequence in order.
    template <class Sequence>
    static std::pair<size_t, size_t> runAt(const Sequence &sequence, const Moment &moment);
    // The last position at moment whose stamp is stamp, in a sequence in order.
    template <class Sequence, class StampAt>
    static std::optional<size_t> lastAt(const Sequence &sequence, const Moment &moment,
                                        const WrenTimeStamp *stamp, StampAt stampAt);
    // The positions, ascending, of every removed stamp in a sequence in order.
    template <class Sequence, class StampAt>
    static std::vector<size_t> positionsOf(const Sequence &sequence, const RemovedSet &removed,
                                           StampAt stampAt);
    void removeAllInOrder(const RemovedSet &removed);
    void removeAllByScan(const RemovedSet &removed);

    void refresh() const;
    void rebuild() const;
    bool isOrdered() const;
    size_t disorderAround(size_t position) const;
    Subsequence &subsequence(int32_t type) const;
    size_t insertionPosition(const Moment &moment) const;
    size_t positionAfter(const Moment &moment) const;

    StampList m_stamps;
    // Caches of what m_stamps holds: valid while no stamp's timing changed since m_timingSeen.
    mutable std::vector<Moment> m_moments;
    mutable Subsequence m_keys;
    mutable Subsequence m_slides;
    mutable size_t m_disorder = 0; // neighbours out of order
    mutable uint64_t m_timingSeen = 0;
};
