#include "window/TimelineFrameSource.h"

#include "platform/media/MovieTimeline.h"

TimelineFrameSource::TimelineFrameSource(lq::MovieTimeline *timeline, QObject *parent)
    : MovieFrameSource(parent), m_timeline(timeline)
{
    if (!timeline)
        return;
    connect(timeline, &lq::MovieTimeline::currentTimeChanged, this,
            &MovieFrameSource::currentTimeChanged);
    connect(timeline, &QObject::destroyed, this, &MovieFrameSource::currentTimeChanged);
}

double TimelineFrameSource::currentTime() const
{
    return m_timeline ? m_timeline->currentTime() : 0.0;
}

std::optional<QSizeF> TimelineFrameSource::naturalSize() const
{
    const std::optional<QSize> size = m_timeline ? m_timeline->naturalSize() : std::nullopt;
    return size ? std::optional<QSizeF>(*size) : std::nullopt;
}

QImage TimelineFrameSource::frameAt(double seconds) const
{
    return m_timeline ? m_timeline->frameAt(seconds) : QImage();
}
