#pragma once

// What the benches of the real note window share.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QTemporaryDir>
#include <QWidget>

// The XDG folders of the bench's own: notes make their temporary folders in the cache folder.
inline void useTemporaryFolders()
{
    static QTemporaryDir home;
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        const QString path = home.filePath(QString::fromLatin1(name));
        QDir().mkpath(path);
        qputenv(name, path.toUtf8());
    }
}

// Notes whether the viewport painted since the last reset.
class PaintWatch : public QObject
{
public:
    explicit PaintWatch(QWidget *viewport) { viewport->installEventFilter(this); }
    bool painted = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

// Runs the event loop until the viewport painted or limit nanoseconds passed since start;
// answers whether it painted.
inline bool waitForPaint(PaintWatch &watch, const QElapsedTimer &clock, qint64 start, qint64 limit)
{
    while (!watch.painted && clock.nsecsElapsed() - start < limit)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    return watch.painted;
}
