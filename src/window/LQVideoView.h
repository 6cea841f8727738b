#pragma once

#include "platform/media/NaturalSizeHolder.h"
#include "window/MiniViewActions.h"

#include <QWidget>

// Shows video: the engines put exactly one child widget with the picture into it, and the view
// keeps that child letterboxed to the video's proportions whenever it is resized. A double click
// asks the controller to promote the video into a window of its own, and the transport actions
// click the controller's buttons, so that they work while the view has the focus.
class LQVideoView : public QWidget, public MiniViewActions, public lq::NaturalSizeHolder
{
    Q_OBJECT
public:
    explicit LQVideoView(QWidget *parent = nullptr);
    ~LQVideoView() override;

    std::optional<QSizeF> naturalSize() const override { return m_naturalSize; }
    void setNaturalSize(std::optional<QSizeF> size) override { m_naturalSize = size; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    std::optional<QSizeF> m_naturalSize;
};
