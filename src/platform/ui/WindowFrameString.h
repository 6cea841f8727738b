#pragma once

#include <QList>
#include <QRect>
#include <QString>

#include <optional>

class QWidget;

namespace lq {

// A window's frame as stored in notes and settings: "x y w h sx sy sw sh " (the window, then
// the available area of its screen), in whole points with the origin at the bottom left of the
// primary screen and y growing upwards.

// The string of frame on a screen whose available area is screen; primary is the primary
// screen's geometry (all in Qt's top-left coordinates).
QString frameString(const QRect &frame, const QRect &screen, const QRect &primary);
// The window frame a string holds, in Qt's coordinates; nullopt when it does not start with
// four numbers or its size is empty.
std::optional<QRect> frameFromString(const QString &string, const QRect &primary);

// The string of a window's frame. Main thread.
QString windowFrameString(const QWidget *window);
// Places a window by a string; false, leaving the window as it is, for a string that holds no
// frame. Main thread.
bool setWindowFrameFromString(QWidget *window, const QString &string);

// A window's frame as the four numbers x, y, width and height in the stored coordinates. Main
// thread.
QList<double> storedWindowFrame(const QWidget *window);
// Places a window by such numbers (more than four: the rest is ignored); false, leaving the
// window as it is, for fewer, an empty size or values no screen holds. Main thread.
bool setStoredWindowFrame(QWidget *window, const QList<double> &frame);

} // namespace lq
