#pragma once

#include <QRect>

class QWidget;

struct FittedRect
{
    QRect rect;
    bool changed = false;
};

// frame moved, and where it is too big shrunk, into visible: its left and top edges no further
// out than visible's, then its right and bottom edges.
FittedRect fitRect(const QRect &frame, const QRect &visible);

// Moves, and if needed shrinks, a window into the available area of its screen. Main thread.
void fitWindowInScreen(QWidget *window);

// The frame of a window cascaded from previous (frames with their decorations): step to the
// right of and below previous's top left corner, or at visible's top left where it would leave
// visible there; then fitted into visible.
QRect cascadedFrame(const QSize &frameSize, const QRect &previous, int step, const QRect &visible);

// Places a window not yet shown cascaded from previous, a window shown on the screen it goes to:
// one title bar's height further right and down, inside the screen's available area. Main
// thread.
void cascadeWindow(QWidget *window, const QWidget *previous);

// Centres a window over documentWindow, or on the primary screen when there is none, then fits
// it into its screen. Main thread.
void fitWindowToDocument(QWidget *window, QWidget *documentWindow);
