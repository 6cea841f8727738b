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

// Centres a window over documentWindow, or on the primary screen when there is none, then fits
// it into its screen. Main thread.
void fitWindowToDocument(QWidget *window, QWidget *documentWindow);
