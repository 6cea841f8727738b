#pragma once

#include "engines/GapEntry.h"

#include <memory>
#include <optional>

namespace lq::test {

// A gap entry of a fixed length, or of none it can tell.
class FixedGap final : public GapEntry
{
public:
    explicit FixedGap(std::optional<double> seconds) : m_seconds(seconds) {}
    bool length(double *seconds) const override
    {
        if (m_seconds)
            *seconds = *m_seconds;
        return m_seconds.has_value();
    }
    QString description() const override { return QStringLiteral("A fixed gap"); }

private:
    std::optional<double> m_seconds;
};

inline LQMediaElement gap(std::optional<double> seconds)
{
    return std::make_shared<FixedGap>(seconds);
}

} // namespace lq::test
