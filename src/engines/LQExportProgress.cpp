#include "engines/LQExportProgress.h"

#include <cmath>

std::optional<QString> exportTimeRemainingText(double fraction, double elapsedSeconds)
{
    if (!(fraction > 0.0) || !(elapsedSeconds > 0.0))
        return std::nullopt;
    const double estimate = std::trunc((1.0 - fraction) / (fraction / elapsedSeconds));
    if (estimate <= -60.0)
        return QStringLiteral("Finishing");
    if (estimate <= 59.0)
        return QStringLiteral("Less than 1 minute");
    if (estimate <= 119.0)
        return QStringLiteral("1 minute");
    if (estimate <= 599939.0)
        return QStringLiteral("%1 minutes").arg(int(estimate / 60.0));
    return std::nullopt;
}
