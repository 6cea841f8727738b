#pragma once

#include "platform/media/MovieTimelineHost.h"
#include "platform/media/NaturalSizeHolder.h"
#include "window/AspectRatioSource.h"
#include "window/MiniViewActions.h"
#include "window/MovieFrameSource.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>

// The movie of the legacy playback engine in the media sidebar: its picture at the movie's
// current time, letterboxed on black, without controls. Only a double click does something (it
// asks the controller to promote the video): single and right clicks and the wheel neither
// start nor move the movie, nor reach the views behind. A view that fills its parent keeps
// filling it.
class QTMovieMiniView : public QWidget,
                        public MiniViewActions,
                        public lq::NaturalSizeSource,
                        public lq::MovieTimelineHost,
                        public AspectRatioSource
{
    Q_OBJECT
public:
    explicit QTMovieMiniView(QWidget *parent = nullptr);

    // Not owned; null shows black.
    MovieFrameSource *movie() const { return m_movie; }
    void setMovie(MovieFrameSource *movie);
    // Shows the legacy player's timeline.
    void setTimeline(lq::MovieTimeline *timeline) override;

    std::optional<QSizeF> naturalSize() const override;
    // The natural width over height; none for a movie without a picture.
    std::optional<double> aspectRatio() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    QPointer<MovieFrameSource> m_movie;
    std::unique_ptr<MovieFrameSource> m_timelineSource;
    // The frame drawn last and its time; grabbed again after the movie tells of a change.
    QImage m_frame;
    std::optional<double> m_frameTime;
};
