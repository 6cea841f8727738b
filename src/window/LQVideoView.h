#pragma once

#include "platform/media/NaturalSizeHolder.h"
#include "window/LQVideoViewController.h"

#include <QWidget>

class QAction;

// Shows video: the engines put exactly one child widget with the picture into it, and the view
// keeps that child letterboxed to the video's proportions whenever it is resized. A double click
// asks the controller to promote the video into a window of its own, and the transport actions
// click the controller's buttons, so that they work while the view has the focus.
class LQVideoView : public QWidget, public lq::NaturalSizeHolder
{
    Q_OBJECT
public:
    explicit LQVideoView(QWidget *parent = nullptr);
    ~LQVideoView() override;

    // Not owned; may be null.
    LQVideoViewController *controller() const { return m_controller; }
    void setController(LQVideoViewController *controller) { m_controller = controller; }

    std::optional<QSizeF> naturalSize() const override { return m_naturalSize; }
    void setNaturalSize(std::optional<QSizeF> size) override { m_naturalSize = size; }

    // False without a controller or its document; otherwise the document decides.
    bool validateUserInterfaceItem(const QAction *item) const;

public Q_SLOTS:
    void pressRecordButton();
    void pressPlayButton();
    void pressBackButton();
    void pressRWButton();
    void pressFFButton();
    void pressPauseButton();
    void pressPrevSlideButton();
    void pressNextSlideButton();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void press(LQVideoViewController::TransportButton button);

    LQVideoViewController *m_controller = nullptr;
    std::optional<QSizeF> m_naturalSize;
};
