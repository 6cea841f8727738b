#pragma once

#include "platform/ui/DoubleSlider.h"
#include "window/ToveSliderCell.h"

#include <memory>

// A slider of the transport strip, drawn by its cell. Connect user actions to sliderMoved; the
// program's updates go through setValue and emit nothing.
class ToveSlider : public lq::DoubleSlider
{
    Q_OBJECT
public:
    ~ToveSlider() override;

    const ToveSliderCell &cell() const { return *m_cell; }
    double knobThickness() const override { return ToveSliderCell::knobThickness(); }

protected:
    ToveSlider(std::unique_ptr<ToveSliderCell> cell, QWidget *parent);

    ToveSliderCell &mutableCell() { return *m_cell; }
    void paintSlider(QPainter &painter, const QRectF &bounds, const QRectF &knobRect) override;

private:
    std::unique_ptr<ToveSliderCell> m_cell;
};

// The playhead: 0 to 100 percent of the recording.
class TimerBarSlider : public ToveSlider
{
    Q_OBJECT
public:
    explicit TimerBarSlider(QWidget *parent = nullptr);

    // Lights the knob (while playing) or puts it out.
    void setLit(bool lit);
};

// The playback speed on a logarithmic scale: a value v stands for the speed 10^v / 10, from
// 0.7 (about 0.501 times) through 1.0 (normal speed) to 2.7 (about 50.1 times).
class SpeedSlider : public ToveSlider
{
    Q_OBJECT
public:
    static constexpr double kMinimumValue = 0.7;
    static constexpr double kMaximumValue = 2.7;
    static constexpr double kNormalValue = 1.0;

    explicit SpeedSlider(QWidget *parent = nullptr);

    static double speedForValue(double value);
    // Not a number for a speed that is not; minus infinity for 0 and below.
    static double valueForSpeed(double speed);

    // The speed the slider shows.
    double speed() const { return speedForValue(value()); }
    // Shows a speed, held to the slider's range; a speed that is not a number is ignored.
    // Emits nothing.
    void showSpeed(double speed) { setValue(valueForSpeed(speed)); }
};
