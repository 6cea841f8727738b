#pragma once

#include "model/FenwickTree.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

// A chunk of a ChunkedList as an item placed in it sees it: from its slot there, the item can
// tell its position in the list.
// Where each chunk of a list starts, taken in one walk of its chunks.
struct ChunkStarts
{
    const FenwickTree *sizes = nullptr;
    std::vector<size_t> starts;
};

class ListChunk
{
public:
    size_t start() const { return m_sizes->prefix(m_ordinal); }
    // The same read from starts when they are those of this chunk's list.
    size_t start(const ChunkStarts &starts) const
    {
        return starts.sizes == m_sizes ? starts.starts[m_ordinal] : start();
    }

private:
    template <class, class, class>
    friend class ChunkedList;
    const FenwickTree *m_sizes = nullptr;
    size_t m_ordinal = 0;
};

// The key of a list whose chunks are searched by nothing.
struct Unkeyed
{
    struct Key
    {
    };
    template <class T>
    Key operator()(const T &) const
    {
        return {};
    }
};

// The placement of a list whose items need not know where they are.
struct Unplaced
{
    static constexpr bool kTellsItems = false;
    template <class T>
    static void place(const T &, const ListChunk &, uint32_t)
    {}
    template <class T>
    static void release(const T &, const ListChunk &, size_t)
    {}
};

// A sequence kept in chunks of a few hundred items, the chunks' sizes in a Fenwick tree: an
// insertion or a removal moves the items of one chunk (and, when a chunk splits or merges with a
// neighbour, walks the chunks once), a position is found in logarithmic time, and a walk costs a
// constant per item. Placement is told where each item lands after every move (place: its chunk
// and slot) and when it leaves the list (release: the position it had). KeyOf gives the key of
// an item that partitionPoint() searches by; the key of each chunk's last item is kept next to
// the chunks' sizes, so that the search only reads the items of the chunk it ends in.
template <class T, class Placement = Unplaced, class KeyOf = Unkeyed>
class ChunkedList
{
    using Key = std::invoke_result_t<KeyOf, const T &>;
    struct Chunk : ListChunk
    {
        std::vector<T> items;
    };
    using Chunks = std::vector<std::unique_ptr<Chunk>>;

public:
    class Iterator
    {
    public:
        using iterator_category = std::bidirectional_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = const T *;
        using reference = const T &;

        Iterator() = default;
        reference operator*() const { return (*m_chunks)[m_chunk]->items[m_slot]; }
        pointer operator->() const { return &**this; }
        Iterator &operator++()
        {
            if (++m_slot == (*m_chunks)[m_chunk]->items.size() && m_chunk + 1 < m_chunks->size()) {
                ++m_chunk;
                m_slot = 0;
            }
            return *this;
        }
        Iterator operator++(int)
        {
            Iterator old = *this;
            ++*this;
            return old;
        }
        Iterator &operator--()
        {
            if (m_slot == 0) {
                --m_chunk;
                m_slot = (*m_chunks)[m_chunk]->items.size();
            }
            --m_slot;
            return *this;
        }
        Iterator operator--(int)
        {
            Iterator old = *this;
            --*this;
            return old;
        }
        bool operator==(const Iterator &other) const
        {
            return m_chunk == other.m_chunk && m_slot == other.m_slot;
        }

    private:
        friend class ChunkedList;
        Iterator(const Chunks *chunks, size_t chunk, size_t slot)
            : m_chunks(chunks), m_chunk(chunk), m_slot(slot)
        {}

        const Chunks *m_chunks = nullptr;
        size_t m_chunk = 0;
        size_t m_slot = 0;
    };
    using const_iterator = Iterator;
    using value_type = T;

    ChunkedList() = default;
    ChunkedList(const ChunkedList &) = delete;
    ChunkedList &operator=(const ChunkedList &) = delete;
    ~ChunkedList() { clear(); }

    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    const T &operator[](size_t position) const
    {
        const auto [chunk, slot] = locate(position);
        return m_chunks[chunk]->items[slot];
    }
    const T &front() const { return m_chunks.front()->items.front(); }
    const T &back() const { return m_chunks.back()->items.back(); }

    ChunkStarts chunkStarts() const
    {
        ChunkStarts starts{&m_sizes, {}};
        starts.starts.reserve(m_chunks.size());
        size_t start = 0;
        for (const Summary &summary : m_summaries) {
            starts.starts.push_back(start);
            start += summary.size;
        }
        return starts;
    }

    Iterator begin() const { return {&m_chunks, 0, 0}; }
    Iterator end() const
    {
        return m_chunks.empty()
                   ? begin()
                   : Iterator(&m_chunks, m_chunks.size() - 1, m_chunks.back()->items.size());
    }
    Iterator iteratorAt(size_t position) const
    {
        if (position == m_size)
            return end();
        const auto [chunk, slot] = locate(position);
        return {&m_chunks, chunk, slot};
    }
    size_t positionOf(const Iterator &it) const { return m_sizes.prefix(it.m_chunk) + it.m_slot; }

    // The first item whose key fails pred, in a list whose items passing pred all come before
    // those failing it; the end when all pass.
    template <class Pred>
    Iterator partitionPoint(Pred pred) const
    {
        const auto summary =
            std::partition_point(m_summaries.begin(), m_summaries.end(),
                                 [&pred](const Summary &s) { return pred(s.lastKey); });
        if (summary == m_summaries.end())
            return end();
        const auto chunk = static_cast<size_t>(summary - m_summaries.begin());
        const std::vector<T> &items = m_chunks[chunk]->items;
        const auto slot = std::partition_point(
            items.begin(), items.end(), [&pred](const T &item) { return pred(KeyOf()(item)); });
        return {&m_chunks, chunk, static_cast<size_t>(slot - items.begin())};
    }

    // A copy of the items, in order.
    std::vector<T> toVector() const { return std::vector<T>(begin(), end()); }

    void assign(std::vector<T> items)
    {
        clear();
        m_size = items.size();
        m_chunks = piecesOf(items);
        for (const std::unique_ptr<Chunk> &chunk : m_chunks)
            m_summaries.push_back(summaryOf(*chunk));
        m_staleFrom = 0;
        reindex();
    }

    void clear()
    {
        if constexpr (Placement::kTellsItems) {
            size_t start = 0;
            for (const std::unique_ptr<Chunk> &chunk : m_chunks) {
                for (size_t slot = 0; slot < chunk->items.size(); ++slot)
                    Placement::release(chunk->items[slot], *chunk, start + slot);
                start += chunk->items.size();
            }
        }
        m_chunks.clear();
        m_summaries.clear();
        m_size = 0;
        reindex();
    }

    void insert(size_t position, T item)
    {
        insert(position, std::make_move_iterator(&item), std::make_move_iterator(&item + 1));
    }

    // The items must not be this list's own.
    template <class It>
    void insert(size_t position, It first, It last)
    {
        const auto count = static_cast<size_t>(std::distance(first, last));
        if (count == 0)
            return;
        if (m_chunks.empty()) {
            m_chunks.push_back(makeChunk());
            m_summaries.emplace_back();
            m_staleFrom = 0;
        }
        size_t chunk = m_chunks.size() - 1;
        size_t slot = m_chunks[chunk]->items.size();
        if (position < m_size)
            std::tie(chunk, slot) = locate(position);
        std::vector<T> &items = m_chunks[chunk]->items;
        items.insert(items.begin() + static_cast<std::ptrdiff_t>(slot), first, last);
        m_size += count;
        settle(chunk, slot, static_cast<std::ptrdiff_t>(count));
    }

    void erase(size_t position, size_t count = 1)
    {
        if (count == 0)
            return;
        auto [first, slot] = locate(position);
        m_size -= count;
        if (slot + count <= m_chunks[first]->items.size()) {
            eraseInChunk(*m_chunks[first], slot, count);
            settle(first, slot, -static_cast<std::ptrdiff_t>(count));
            return;
        }
        size_t chunk = first;
        for (size_t left = count; left > 0; ++chunk, slot = 0) {
            const size_t taken = std::min(left, m_chunks[chunk]->items.size() - slot);
            eraseInChunk(*m_chunks[chunk], slot, taken);
            left -= taken;
        }
        // The chunks between the first and the last touched are empty now.
        const size_t last = chunk - 1;
        placeFrom(*m_chunks[last], 0);
        m_chunks.erase(m_chunks.begin() + static_cast<std::ptrdiff_t>(first + 1),
                       m_chunks.begin() + static_cast<std::ptrdiff_t>(last));
        m_summaries.erase(m_summaries.begin() + static_cast<std::ptrdiff_t>(first + 1),
                          m_summaries.begin() + static_cast<std::ptrdiff_t>(last));
        m_summaries[first] = summaryOf(*m_chunks[first]);
        m_summaries[first + 1] = summaryOf(*m_chunks[first + 1]);
        m_staleFrom = std::min(m_staleFrom, first);
        reshape(first + 1);
        reshape(first);
        reindex();
    }

    // Removes the items at positions (ascending, each once), each chunk compacted once.
    void eraseAt(const std::vector<size_t> &positions)
    {
        std::vector<size_t> touched;
        for (size_t next = 0; next < positions.size();) {
            const auto [chunk, firstSlot] = locate(positions[next]);
            Chunk &c = *m_chunks[chunk];
            const size_t start = positions[next] - firstSlot;
            size_t kept = firstSlot;
            size_t read = firstSlot;
            for (; next < positions.size() && positions[next] < start + c.items.size(); ++next) {
                const size_t slot = positions[next] - start;
                for (; read < slot; ++read)
                    c.items[kept++] = std::move(c.items[read]);
                Placement::release(c.items[slot], c, positions[next]);
                read = slot + 1;
            }
            for (; read < c.items.size(); ++read)
                c.items[kept++] = std::move(c.items[read]);
            c.items.resize(kept);
            m_summaries[chunk] = summaryOf(c);
            placeFrom(c, firstSlot);
            touched.push_back(chunk);
        }
        if (touched.empty())
            return;
        m_size -= positions.size();
        m_staleFrom = std::min(m_staleFrom, touched.front());
        for (size_t i = touched.size(); i-- > 0;)
            reshape(touched[i]);
        reindex();
    }

    // Puts item at position, and answers the item that was there.
    T replace(size_t position, T item)
    {
        const auto [chunk, slot] = locate(position);
        Chunk &c = *m_chunks[chunk];
        Placement::release(c.items[slot], c, position);
        T old = std::exchange(c.items[slot], std::move(item));
        Placement::place(c.items[slot], c, static_cast<uint32_t>(slot));
        m_summaries[chunk] = summaryOf(c);
        return old;
    }

private:
    static constexpr size_t kFill = 256; // items per chunk of a list laid out afresh
    static constexpr size_t kMax = 2 * kFill;
    static constexpr size_t kMin = kFill / 4;

    std::pair<size_t, size_t> locate(size_t position) const
    {
        const auto [chunk, before] = m_sizes.find(position);
        return {chunk, position - before};
    }

    std::unique_ptr<Chunk> makeChunk() const
    {
        auto chunk = std::make_unique<Chunk>();
        chunk->m_sizes = &m_sizes;
        return chunk;
    }

    void placeFrom(const Chunk &chunk, size_t slot) const
    {
        if constexpr (Placement::kTellsItems) {
            for (; slot < chunk.items.size(); ++slot)
                Placement::place(chunk.items[slot], chunk, static_cast<uint32_t>(slot));
        }
    }

    void eraseInChunk(Chunk &chunk, size_t slot, size_t count)
    {
        if constexpr (Placement::kTellsItems) {
            const size_t start = chunk.start();
            for (size_t s = slot; s < slot + count; ++s)
                Placement::release(chunk.items[s], chunk, start + s);
        }
        const auto first = chunk.items.begin() + static_cast<std::ptrdiff_t>(slot);
        chunk.items.erase(first, first + static_cast<std::ptrdiff_t>(count));
    }

    // Chunk changed by delta items from slot on: the moved items are placed, and the chunk's new
    // size counted, or the chunks around it reshaped.
    void settle(size_t chunk, size_t slot, std::ptrdiff_t delta)
    {
        placeFrom(*m_chunks[chunk], slot);
        const size_t size = m_chunks[chunk]->items.size();
        m_summaries[chunk] = summaryOf(*m_chunks[chunk]);
        const bool inShape = size <= kMax && (size >= kMin || (m_chunks.size() == 1 && size > 0));
        if (inShape && m_staleFrom == kNone) {
            m_sizes.add(chunk, delta);
            return;
        }
        reshape(chunk);
        reindex();
    }

    // Splits chunk when it holds too many items; merges it with a neighbour when it holds too
    // few. Chunks before the one before it keep their places; the index waits for reindex(). A
    // chunk already merged away (every item of the last chunks removed) is past the end.
    void reshape(size_t chunk)
    {
        if (chunk >= m_chunks.size())
            return;
        const size_t size = m_chunks[chunk]->items.size();
        if (size > kMax) {
            rebuild(chunk, chunk + 1);
        } else if (size < kMin && m_chunks.size() > 1) {
            const size_t first = chunk + 1 < m_chunks.size() ? chunk : chunk - 1;
            rebuild(first, first + 2);
        } else if (size == 0) {
            m_chunks.clear();
            m_summaries.clear();
            m_staleFrom = 0;
        }
    }

    // Lays the items of chunks [first, last) out afresh.
    void rebuild(size_t first, size_t last)
    {
        std::vector<T> items;
        for (size_t chunk = first; chunk < last; ++chunk) {
            std::vector<T> &from = m_chunks[chunk]->items;
            items.insert(items.end(), std::make_move_iterator(from.begin()),
                         std::make_move_iterator(from.end()));
        }
        Chunks pieces = piecesOf(items);
        std::vector<Summary> summaries;
        for (const std::unique_ptr<Chunk> &piece : pieces)
            summaries.push_back(summaryOf(*piece));
        const auto at = static_cast<std::ptrdiff_t>(first);
        const auto replaced = static_cast<std::ptrdiff_t>(last - first);
        m_chunks.erase(m_chunks.begin() + at, m_chunks.begin() + at + replaced);
        m_chunks.insert(m_chunks.begin() + at, std::make_move_iterator(pieces.begin()),
                        std::make_move_iterator(pieces.end()));
        m_summaries.erase(m_summaries.begin() + at, m_summaries.begin() + at + replaced);
        m_summaries.insert(m_summaries.begin() + at, summaries.begin(), summaries.end());
        m_staleFrom = std::min(m_staleFrom, first);
    }

    // Chunks of about kFill items each, placed.
    Chunks piecesOf(std::vector<T> &items) const
    {
        Chunks pieces;
        const size_t total = items.size();
        const size_t count = total == 0 ? 0 : std::max<size_t>(1, (total + kFill / 2) / kFill);
        pieces.reserve(count);
        for (size_t piece = 0; piece < count; ++piece) {
            const auto begin = items.begin() + static_cast<std::ptrdiff_t>(total * piece / count);
            const auto end =
                items.begin() + static_cast<std::ptrdiff_t>(total * (piece + 1) / count);
            std::unique_ptr<Chunk> chunk = makeChunk();
            chunk->items.assign(std::make_move_iterator(begin), std::make_move_iterator(end));
            placeFrom(*chunk, 0);
            pieces.push_back(std::move(chunk));
        }
        return pieces;
    }

    // Numbers the chunks from the first that moved, and counts their sizes again.
    void reindex()
    {
        if constexpr (Placement::kTellsItems) {
            for (size_t chunk = std::min(m_staleFrom, m_chunks.size()); chunk < m_chunks.size();
                 ++chunk)
                m_chunks[chunk]->m_ordinal = chunk;
        }
        std::vector<size_t> sizes;
        sizes.reserve(m_summaries.size());
        for (const Summary &summary : m_summaries)
            sizes.push_back(summary.size);
        m_sizes.assign(sizes);
        m_staleFrom = kNone;
    }

    // What the index keeps of a chunk.
    struct Summary
    {
        size_t size = 0;
        Key lastKey{};
    };

    static Summary summaryOf(const Chunk &chunk)
    {
        if (chunk.items.empty())
            return {};
        return {chunk.items.size(), KeyOf()(chunk.items.back())};
    }

    static constexpr size_t kNone = SIZE_MAX;

    Chunks m_chunks;                  // none empty
    std::vector<Summary> m_summaries; // one per chunk, contiguous
    size_t m_staleFrom = kNone;       // the first chunk whose number or size the index lacks
    FenwickTree m_sizes;
    size_t m_size = 0;
};
