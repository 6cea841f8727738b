#pragma once

#include <QImage>
#include <QObject>
#include <QSizeF>

#include <optional>

// A movie as its mini view shows it: the picture at the movie's current time.
class MovieFrameSource : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Seconds from the movie's start.
    virtual double currentTime() const = 0;
    // None for a movie without a picture.
    virtual std::optional<QSizeF> naturalSize() const = 0;
    // The picture at seconds; null where the movie has none (a gap), which shows black.
    virtual QImage frameAt(double seconds) const = 0;

Q_SIGNALS:
    // The current time moved (playing, a seek) or the movie changed.
    void currentTimeChanged();
};
