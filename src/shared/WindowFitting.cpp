#include "shared/WindowFitting.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

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
