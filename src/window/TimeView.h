#pragma once

#include "platform/foundation/Date.h"

#include <QLabel>
#include <QPointer>

#include <optional>

// What the time field asks of its window controller.
class TimeViewController
{
public:
    virtual ~TimeViewController() = default;
    // The note's whole recorded length, in seconds.
    virtual double recordingLength() const = 0;
};

// The clock of the window's toolbar: shows the time its controller gives it (a date counted from
// the clock epoch, "H:mm:ss"). While the user holds the mouse button on it, it shows the whole
// recorded length and its toolbar item's caption reads "Total Time"; on release it shows the
// latest time given and the caption it had. Clicking neither edits nor selects. GUI thread only:
// the controller brings clock changes from other threads here first.
class TimeView : public QLabel
{
    Q_OBJECT
public:
    explicit TimeView(QWidget *parent = nullptr);

    void setController(TimeViewController *controller) { m_controller = controller; }
    // The caption of the toolbar item holding the field; its text now is the normal caption.
    void setToolbarItemLabel(QLabel *label);
    QString normalLabel() const { return m_normalLabel; }

    // The time to show; no time stands for the epoch (0:00:00). Held back while the recorded
    // length is shown.
    void setObjectValue(std::optional<lq::Date> time);
    lq::Date currentObject() const { return m_currentObject; }
    bool isShowingTotal() const { return m_mouseIsDown; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void display(lq::Date time);
    void setToolbarLabel(const QString &text);

    TimeViewController *m_controller = nullptr;
    QPointer<QLabel> m_toolbarItemLabel;
    QString m_normalLabel;
    lq::Date m_currentObject;
    bool m_mouseIsDown = false;
};
