#pragma once

#include "window/MovieFrameSource.h"

#include <QPointer>

namespace lq {
class MovieTimeline;
}

// A movie timeline of the legacy player as its mini view shows it. The player may delete the
// timeline: then there is no picture.
class TimelineFrameSource final : public MovieFrameSource
{
    Q_OBJECT
public:
    explicit TimelineFrameSource(lq::MovieTimeline *timeline, QObject *parent = nullptr);

    double currentTime() const override;
    std::optional<QSizeF> naturalSize() const override;
    QImage frameAt(double seconds) const override;

private:
    QPointer<lq::MovieTimeline> m_timeline;
};
