#pragma once

#include "platform/text/TextRange.h"

#include <QString>

#include <algorithm>
#include <utility>
#include <vector>

namespace lq {

// A string with runs of attributes over it: the runs cover the whole string, none is empty, and
// neighbours always differ (equal neighbours are joined), so each run is the longest effective
// range of its attributes. Attrs needs a default value (no attributes) and ==.
template <class Attrs>
class AttributedRuns
{
public:
    struct Run
    {
        TextRange range;
        Attrs attributes;
    };

    AttributedRuns() = default;
    explicit AttributedRuns(QString string, Attrs attributes = {}) : m_string(std::move(string))
    {
        if (!m_string.isEmpty())
            m_runs.push_back({{0, m_string.size()}, std::move(attributes)});
    }

    // Runs that cover the string in order, with no two equal neighbours.
    AttributedRuns(QString string, std::vector<Run> runs)
        : m_string(std::move(string)), m_runs(std::move(runs))
    {}

    const QString &string() const { return m_string; }
    qsizetype length() const { return m_string.size(); }
    const std::vector<Run> &runs() const { return m_runs; }

    // The attributes at index (inside the string) and, when asked, the run's whole range; no
    // attributes and an empty range for an empty string.
    const Attrs &attributesAt(qsizetype index, TextRange *effectiveRange = nullptr) const
    {
        static const Attrs none;
        if (m_runs.empty()) {
            if (effectiveRange)
                *effectiveRange = {};
            return none;
        }
        const Run &run = m_runs[runIndexAt(index)];
        if (effectiveRange)
            *effectiveRange = run.range;
        return run.attributes;
    }

    void append(const QString &string, const Attrs &attributes)
    {
        if (string.isEmpty())
            return;
        const qsizetype start = m_string.size();
        m_string += string;
        if (!m_runs.empty() && m_runs.back().attributes == attributes)
            m_runs.back().range.length += string.size();
        else
            m_runs.push_back({{start, string.size()}, attributes});
    }

    void append(const AttributedRuns &other)
    {
        m_string.reserve(m_string.size() + other.length());
        for (const Run &run : other.m_runs)
            append(other.m_string.mid(run.range.location, run.range.length), run.attributes);
    }

    AttributedRuns substring(TextRange range) const
    {
        AttributedRuns result;
        if (range.length <= 0)
            return result;
        for (size_t i = runIndexAt(range.location); i < m_runs.size(); ++i) {
            const TextRange &run = m_runs[i].range;
            if (run.location >= range.end())
                break;
            const qsizetype from = std::max(run.location, range.location);
            const qsizetype to = std::min(run.end(), range.end());
            result.append(m_string.mid(from, to - from), m_runs[i].attributes);
        }
        return result;
    }

    // Replaces the characters of range (inside the string) with replacement and its runs.
    void replace(TextRange range, const AttributedRuns &replacement)
    {
        AttributedRuns result = substring({0, range.location});
        result.append(replacement);
        result.append(substring({range.end(), length() - range.end()}));
        *this = std::move(result);
    }

    // Replaces the characters of range with a plain string, which takes the attributes of the
    // first replaced character, or of the one before when nothing is replaced, or of the first
    // character when there is none before.
    void replace(TextRange range, const QString &string)
    {
        Attrs attributes;
        if (length() > 0) {
            const qsizetype from =
                range.length > 0 ? range.location : std::max<qsizetype>(range.location - 1, 0);
            attributes = attributesAt(std::min(from, length() - 1));
        }
        replace(range, AttributedRuns(string, attributes));
    }

    // Calls change(Attrs &) for the attributes of every part of range, then joins equal
    // neighbours.
    template <class Change>
    void modify(TextRange range, Change change)
    {
        if (range.length <= 0)
            return;
        const size_t first = splitAt(range.location);
        const size_t last = splitAt(range.end());
        for (size_t i = first; i < last; ++i)
            change(m_runs[i].attributes);
        joinEqualRuns(first == 0 ? 0 : first - 1, std::min(last + 1, m_runs.size()));
    }

    friend bool operator==(const AttributedRuns &a, const AttributedRuns &b)
    {
        if (a.m_string != b.m_string || a.m_runs.size() != b.m_runs.size())
            return false;
        for (size_t i = 0; i < a.m_runs.size(); ++i) {
            if (a.m_runs[i].range != b.m_runs[i].range ||
                !(a.m_runs[i].attributes == b.m_runs[i].attributes))
                return false;
        }
        return true;
    }

private:
    size_t runIndexAt(qsizetype index) const
    {
        const auto after = std::upper_bound(
            m_runs.begin(), m_runs.end(), index,
            [](qsizetype value, const Run &run) { return value < run.range.location; });
        return static_cast<size_t>(std::max<std::ptrdiff_t>(after - m_runs.begin() - 1, 0));
    }

    // Makes a run start at position; answers the index of that run (the run count at the end).
    size_t splitAt(qsizetype position)
    {
        if (position >= length())
            return m_runs.size();
        const size_t index = runIndexAt(position);
        Run &run = m_runs[index];
        if (run.range.location == position)
            return index;
        Run tail{{position, run.range.end() - position}, run.attributes};
        run.range.length = position - run.range.location;
        m_runs.insert(m_runs.begin() + static_cast<std::ptrdiff_t>(index) + 1, std::move(tail));
        return index + 1;
    }

    void joinEqualRuns(size_t from, size_t to)
    {
        size_t out = from;
        for (size_t i = from + 1; i < to; ++i) {
            if (m_runs[out].attributes == m_runs[i].attributes)
                m_runs[out].range.length += m_runs[i].range.length;
            else if (++out != i)
                m_runs[out] = std::move(m_runs[i]);
        }
        if (to > from + 1)
            m_runs.erase(m_runs.begin() + static_cast<std::ptrdiff_t>(out) + 1,
                         m_runs.begin() + static_cast<std::ptrdiff_t>(to));
    }

    QString m_string;
    std::vector<Run> m_runs;
};

} // namespace lq
