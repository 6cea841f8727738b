#include "shared/WindowFitting.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {

// Where the window manager shows no title bar.
constexpr int kCascadeStep = 24;

} // namespace

FittedRect fitRect(const QRect &frame, const QRect &visible)
{
    int x = std::max(frame.x(), visible.x());
    int y = std::max(frame.y(), visible.y());
    int width = frame.width();
    int height = frame.height();
    const int visibleRight = visible.x() + visible.width();
    const int visibleBottom = visible.y() + visible.height();
    if (x + width > visibleRight) {
        if (width < visible.width()) {
            x = visibleRight - width;
        } else {
            x = visible.x();
            width = visible.width();
        }
    }
    if (y + height > visibleBottom) {
        if (height < visible.height()) {
            y = visibleBottom - height;
        } else {
            y = visible.y();
            height = visible.height();
        }
    }
    const QRect fitted(x, y, width, height);
    return {fitted, fitted != frame};
}

void fitWindowInScreen(QWidget *window)
{
    const QScreen *screen = window->screen();
    if (!screen)
        return;
    const QRect frame = window->frameGeometry();
    const FittedRect fitted = fitRect(frame, screen->availableGeometry());
    if (!fitted.changed)
        return;
    // move() places the frame, resize() sizes the contents within it.
    const QSize decoration = frame.size() - window->size();
    window->move(fitted.rect.topLeft());
    window->resize(fitted.rect.size() - decoration);
    window->update();
}

QRect cascadedFrame(const QSize &frameSize, const QRect &previous, int step, const QRect &visible)
{
    QRect frame(previous.topLeft() + QPoint(step, step), frameSize);
    if (!visible.contains(frame))
        frame.moveTopLeft(visible.topLeft());
    return fitRect(frame, visible).rect;
}

void cascadeWindow(QWidget *window, const QWidget *previous)
{
    const QScreen *screen = previous->screen();
    if (!screen)
        return;
    // The new window gets the decoration the window manager gave the previous one.
    const QRect previousFrame = previous->frameGeometry();
    const QSize decoration = previousFrame.size() - previous->size();
    const int titleBar = previous->geometry().top() - previousFrame.top();
    const QRect frame =
        cascadedFrame(window->size() + decoration, previousFrame,
                      titleBar > 0 ? titleBar : kCascadeStep, screen->availableGeometry());
    window->move(frame.topLeft());
    window->resize(frame.size() - decoration);
}

void fitWindowToDocument(QWidget *window, QWidget *documentWindow)
{
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (documentWindow || primary) {
        const QPoint centre = documentWindow ? documentWindow->frameGeometry().center()
                                             : primary->availableGeometry().center();
        QRect frame = window->frameGeometry();
        frame.moveCenter(centre);
        window->move(frame.topLeft());
    }
    fitWindowInScreen(window);
}
