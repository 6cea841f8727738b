#include "model/TimelineMap.h"

#include <algorithm>
#include <cmath>

namespace {

// Rounding in the percentage arithmetic must not move a boundary point into the next session.
constexpr double kBoundaryTolerance = 1e-9;

} // namespace

TimelineMap::TimelineMap(std::vector<double> lengths) : m_lengths(std::move(lengths))
{
    for (double &length : m_lengths) {
        length = std::isfinite(length) ? std::max(length, 0.0) : 0.0;
        m_length += length;
    }
}

double TimelineMap::percentageRate() const
{
    return m_length > 0.0 ? 100.0 / m_length : 0.0;
}

double TimelineMap::startOf(int32_t session) const
{
    double start = 0.0;
    for (int32_t i = 0; i < session && size_t(i) < m_lengths.size(); ++i)
        start += m_lengths[size_t(i)];
    return start;
}

double TimelineMap::percentageAt(const Position &position) const
{
    const double percentage = (startOf(position.session) + position.offset) * percentageRate();
    return std::clamp(percentage, 0.0, 100.0);
}

TimelineMap::Position TimelineMap::positionAtTime(double seconds) const
{
    if (m_length <= 0.0 || !(seconds > 0.0))
        return {};
    const double time = std::min(seconds, m_length);
    const double tolerance = kBoundaryTolerance * std::max(1.0, m_length);
    double end = 0.0;
    for (size_t i = 0; i < m_lengths.size(); ++i) {
        end += m_lengths[i];
        if (time <= end + tolerance || i + 1 == m_lengths.size()) {
            const double offset = time - (end - m_lengths[i]);
            return {static_cast<int32_t>(i), std::clamp(offset, 0.0, m_lengths[i])};
        }
    }
    return {};
}

TimelineMap::Position TimelineMap::positionAtPercentage(double percentage) const
{
    return positionAtTime(percentage / 100.0 * m_length);
}

bool TimelineMap::rewindsAfterStop(double percentage, double length)
{
    const double tail = length > 0.0 ? 100.0 - 800.0 / length : 99.0;
    return percentage > std::max(99.0, tail);
}

double TimelineMap::jumpBackTarget(double now, double seconds)
{
    return now > seconds ? now - seconds : 0.0;
}

double TimelineMap::withLeadIn(double offset, double leadIn)
{
    return std::max(0.0, offset - std::max(0.0, leadIn));
}

bool TimelineMap::startsOver(const Position &position) const
{
    if (m_lengths.empty() || size_t(position.session) + 1 != m_lengths.size())
        return false;
    return std::fabs(m_lengths.back() - position.offset) < 1.0;
}
