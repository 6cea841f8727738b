#pragma once

#include <QRectF>
#include <QWidget>

class QPainter;

namespace lq {

// A horizontal slider holding a double exactly, drawn by a subclass. The knob travels from the
// left edge to the right edge minus its thickness.
//
// sliderMoved is emitted only for the user's own changes (a press on the bar, a drag, keys),
// never for setValue, so that the program's updates do not come back as user actions. While the
// user holds the knob, setValue is ignored: a position timer must not pull the knob from under
// the mouse. GUI thread only.
class DoubleSlider : public QWidget
{
    Q_OBJECT
public:
    explicit DoubleSlider(QWidget *parent = nullptr);

    double minimum() const { return m_minimum; }
    double maximum() const { return m_maximum; }
    // Sets the range (swapped when given the wrong way round) and pulls the value into it.
    void setRange(double minimum, double maximum);

    double value() const { return m_value; }
    // The program's update: clamped to the range; a value that is not a number, and any value
    // while the slider is down, is ignored. Emits nothing.
    void setValue(double value);

    // What the arrow keys (single) and Page Up/Down (page) move; a hundredth and a tenth of the
    // range unless set.
    double singleStep() const;
    void setSingleStep(double step) { m_singleStep = step; }
    double pageStep() const;
    void setPageStep(double step) { m_pageStep = step; }

    // The user holds the knob.
    bool isSliderDown() const { return m_down; }

    // The knob's rectangle for the current value, in widget coordinates (the widget's height).
    QRectF knobRect() const;
    // The knob's width; the bar's ends are reached when its edge touches the widget's edge.
    virtual double knobThickness() const { return 14.0; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void sliderPressed();
    // The user moved the slider to value.
    void sliderMoved(double value);
    void sliderReleased();

protected:
    // Draws the bar over bounds and the knob in knobRect.
    virtual void paintSlider(QPainter &painter, const QRectF &bounds, const QRectF &knobRect) = 0;

    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    double valueAtKnobLeft(double x) const;
    void moveByUser(double value);
    void endDrag();

    double m_minimum = 0.0;
    double m_maximum = 1.0;
    double m_value = 0.0;
    double m_singleStep = 0.0; // 0: a hundredth of the range
    double m_pageStep = 0.0;   // 0: a tenth of the range
    bool m_down = false;
    double m_grabOffset = 0.0; // from the knob's left edge to the mouse
};

} // namespace lq
