#pragma once

#include "platform/media/CapturePreviewHost.h"
#include "platform/media/NaturalSizeHolder.h"
#include "window/AspectRatioSource.h"
#include "window/MiniViewActions.h"

#include <QWidget>

namespace lq {
class VideoSurface;
}

// The live camera picture of the legacy recording engine in the media sidebar. The engine feeds
// its capture preview into preview(), which fills the view with the whole picture letterboxed,
// and tells the view the picture's size. A double click asks the controller to promote the
// video; a view that fills its parent keeps filling it.
class QTCaptureMiniView : public QWidget,
                          public MiniViewActions,
                          public lq::NaturalSizeHolder,
                          public CapturePreviewHost,
                          public AspectRatioSource
{
    Q_OBJECT
public:
    explicit QTCaptureMiniView(QWidget *parent = nullptr);

    lq::VideoSurface *preview() const { return m_preview; }
    lq::VideoSurface *previewSurface() override { return m_preview; }

    std::optional<QSizeF> naturalSize() const override { return m_naturalSize; }
    void setNaturalSize(std::optional<QSizeF> size) override { m_naturalSize = size; }

    // The proportions of the preview's bounds; none while the view has no width or height.
    std::optional<double> aspectRatio() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    lq::VideoSurface *m_preview;
    std::optional<QSizeF> m_naturalSize;
};
