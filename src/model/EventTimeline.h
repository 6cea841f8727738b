#pragma once

#include "model/ChunkedList.h"
#include "model/WrenTimeStamp.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
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
// has been changed. The lists are chunked, so an insertion or a removal costs a chunk's items and
// a logarithm of the list's size.
class EventTimeline
{
    struct Moment
    {
        int32_t session;
        double offset;
    };
    struct Entry
    {
        Moment moment;
        WrenTimeStampPtr stamp;
    };
    struct MomentOf
    {
        Moment operator()(const Entry &entry) const { return entry.moment; }
    };
    // Searched by moment.
    using Entries = ChunkedList<Entry, Unplaced, MomentOf>;

public:
    using StampList = std::vector<WrenTimeStampPtr>;

    // Walks the stamps in order.
    class const_iterator
    {
    public:
        using iterator_category = std::bidirectional_iterator_tag;
        using value_type = WrenTimeStampPtr;
        using difference_type = std::ptrdiff_t;
        using pointer = const WrenTimeStampPtr *;
        using reference = const WrenTimeStampPtr &;

        const_iterator() = default;
        reference operator*() const { return m_entry->stamp; }
        pointer operator->() const { return &m_entry->stamp; }
        const_iterator &operator++()
        {
            ++m_entry;
            return *this;
        }
        const_iterator operator++(int) { return const_iterator(m_entry++); }
        const_iterator &operator--()
        {
            --m_entry;
            return *this;
        }
        const_iterator operator--(int) { return const_iterator(m_entry--); }
        bool operator==(const const_iterator &) const = default;

    private:
        friend class EventTimeline;
        explicit const_iterator(Entries::Iterator entry) : m_entry(entry) {}
        Entries::Iterator m_entry;
    };

    size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    const WrenTimeStampPtr &operator[](size_t position) const { return m_entries[position].stamp; }
    const WrenTimeStampPtr &front() const { return m_entries.front().stamp; }
    const WrenTimeStampPtr &back() const { return m_entries.back().stamp; }
    const_iterator begin() const { return const_iterator(m_entries.begin()); }
    const_iterator end() const { return const_iterator(m_entries.end()); }
    // A copy of the stamps, in order.
    StampList toVector() const { return StampList(begin(), end()); }

    void assign(StampList stamps);
    void append(const WrenTimeStampPtr &stamp);
    // Before the first stamp that lies later than stamp; equal moments keep insertion order.
    void insertInOrder(const WrenTimeStampPtr &stamp);
    // Removes the last occurrence of stamp; false when it is not in the list.
    bool removeLast(const WrenTimeStamp *stamp);
    // Removes every occurrence of the given stamps, each chunk compacted once.
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
    // The position of the first stamp later than the moment, and of the last one earlier.
    std::optional<size_t> firstLaterThan(int32_t session, double offset) const;
    std::optional<size_t> lastEarlierThan(int32_t session, double offset) const;

private:
    using RemovedSet = std::unordered_set<const WrenTimeStamp *>;

    static Moment momentOf(const WrenTimeStamp &stamp) { return {stamp.session(), stamp.offset()}; }
    static bool inOrder(const Moment &earlier, const Moment &later);
    static bool earlier(const Moment &moment, const Moment &than);
    static bool notAfter(const Moment &moment, const Moment &than);
    static bool hasSubsequence(int32_t type);
    // The positions [first, end) of the entries at moment, in entries in order.
    static std::pair<size_t, size_t> runAt(const Entries &entries, const Moment &moment);
    // The last position at moment whose stamp is stamp, in entries in order.
    static std::optional<size_t> lastAt(const Entries &entries, const Moment &moment,
                                        const WrenTimeStamp *stamp);
    // The positions, ascending, of every removed stamp in entries in order.
    static std::vector<size_t> positionsOf(const Entries &entries, const RemovedSet &removed);
    // The positions, ascending, of every removed stamp, found by a scan.
    static std::vector<size_t> positionsByScan(const Entries &entries, const RemovedSet &removed);
    // The latest stamp of type before end (any type when type < 0).
    WrenTimeStampPtr lastOfTypeBefore(Entries::Iterator end, int32_t type) const;
    // The first occurrence of stamp, or the end.
    Entries::Iterator find(const WrenTimeStamp *stamp) const;
    // The first entry that fails pred: searched binary while the list is in order.
    template <class Pred>
    Entries::Iterator firstFailing(Pred pred) const;
    // Where a stamp at moment is inserted: after every stamp at or before it.
    size_t insertionPosition(const Moment &moment) const;
    // The first entry whose moment lies after moment, or is not before it.
    Entries::Iterator firstAfter(const Moment &moment) const;
    Entries::Iterator firstNotBefore(const Moment &moment) const;

    void refresh() const;
    void rebuild() const;
    // Takes entries in list order, their moments set, and lays out the subsequences.
    void fill(std::vector<Entry> entries) const;
    void countDisorder() const;
    bool isOrdered() const;
    size_t disorderAround(size_t position) const;
    Entries &subsequence(int32_t type) const;

    // The moments of the entries are caches, valid while no stamp's timing changed since
    // m_timingSeen; so are the per-type subsequences.
    mutable Entries m_entries;
    mutable Entries m_keys;
    mutable Entries m_slides;
    mutable size_t m_disorder = 0; // neighbours out of order
    mutable uint64_t m_timingSeen = 0;
};
