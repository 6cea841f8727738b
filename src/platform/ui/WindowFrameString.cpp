#include "platform/ui/WindowFrameString.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <QWidget>

#include <cmath>

namespace lq {
namespace {

// The same rectangle with its y measured upwards from the primary screen's bottom edge; the
// flip is its own inverse.
QRect flipped(const QRect &rect, const QRect &primary)
{
    const int y = primary.top() + primary.height() - (rect.y() + rect.height());
    return QRect(rect.x(), y, rect.width(), rect.height());
}

QRect primaryGeometry()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect();
}

} // namespace

QString frameString(const QRect &frame, const QRect &screen, const QRect &primary)
{
    QString string;
    for (const QRect &rect : {flipped(frame, primary), flipped(screen, primary)})
        string += QStringLiteral("%1 %2 %3 %4 ")
                      .arg(rect.x())
                      .arg(rect.y())
                      .arg(rect.width())
                      .arg(rect.height());
    return string;
}

std::optional<QRect> frameFromString(const QString &string, const QRect &primary)
{
    const QStringList parts = string.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() < 4)
        return std::nullopt;
    int values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const double value = parts.at(i).toDouble(&ok);
        if (!ok || !std::isfinite(value) || std::abs(value) > 1e6)
            return std::nullopt;
        values[i] = int(std::lround(value));
    }
    if (values[2] <= 0 || values[3] <= 0)
        return std::nullopt;
    return flipped(QRect(values[0], values[1], values[2], values[3]), primary);
}

QString windowFrameString(const QWidget *window)
{
    const QScreen *screen = window->screen();
    return frameString(window->geometry(), screen ? screen->availableGeometry() : QRect(),
                       primaryGeometry());
}

bool setWindowFrameFromString(QWidget *window, const QString &string)
{
    const std::optional<QRect> frame = frameFromString(string, primaryGeometry());
    if (!frame)
        return false;
    window->setGeometry(*frame);
    return true;
}

} // namespace lq
