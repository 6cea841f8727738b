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

namespace {

// The rectangle of four stored numbers, in Qt's coordinates; nullopt for an empty size or a value
// that is no number a screen could hold.
std::optional<QRect> frameFromNumbers(const double (&numbers)[4], const QRect &primary)
{
    int values[4];
    for (int i = 0; i < 4; ++i) {
        if (!std::isfinite(numbers[i]) || std::abs(numbers[i]) > 1e6)
            return std::nullopt;
        values[i] = int(std::lround(numbers[i]));
    }
    if (values[2] <= 0 || values[3] <= 0)
        return std::nullopt;
    return flipped(QRect(values[0], values[1], values[2], values[3]), primary);
}

} // namespace

std::optional<QRect> frameFromString(const QString &string, const QRect &primary)
{
    const QStringList parts = string.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() < 4)
        return std::nullopt;
    double numbers[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        numbers[i] = parts.at(i).toDouble(&ok);
        if (!ok)
            return std::nullopt;
    }
    return frameFromNumbers(numbers, primary);
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

QList<double> storedWindowFrame(const QWidget *window)
{
    const QRect frame = flipped(window->geometry(), primaryGeometry());
    return {double(frame.x()), double(frame.y()), double(frame.width()), double(frame.height())};
}

bool setStoredWindowFrame(QWidget *window, const QList<double> &frame)
{
    if (frame.size() < 4)
        return false;
    const double numbers[4] = {frame[0], frame[1], frame[2], frame[3]};
    const std::optional<QRect> rect = frameFromNumbers(numbers, primaryGeometry());
    if (!rect)
        return false;
    window->setGeometry(*rect);
    return true;
}

} // namespace lq
