#pragma once

#include <QWidget>

// The input level as ten outlined boxes over which a coloured bar grows from -60 dB (empty) to
// 0 dB (all ten), drawn in a strip 9 pixels high at the bottom of the view. It only draws:
// its owner sets the level and whether the bar shows, then asks for a repaint.
class AudioMeter : public QWidget
{
    Q_OBJECT
public:
    static constexpr float kFloorLevel = -60.0f;
    static constexpr int kBoxCount = 10;

    explicit AudioMeter(QWidget *parent = nullptr);

    // Decibels; drawing while the bar shows raises a level below the floor (or not a number)
    // to the floor.
    float levelValue() const { return m_levelValue; }
    void setLevelValue(float decibels) { m_levelValue = decibels; }
    // Whether the level bar is drawn at all; off at creation.
    bool meterEnabled() const { return m_meterEnabled; }
    void setMeterEnabled(bool enabled) { m_meterEnabled = enabled; }

    // The width of the boxes together: a whole number of pixels per box, one pixel left for
    // the outline.
    static double boxAreaWidth(double viewWidth);
    // How many boxes a level lights; more than ten above 0 dB. Levels below the floor, and
    // levels that are not numbers, light none.
    static int litBoxes(float decibels);
    // The bar's width for a level, at most the view's width.
    static double barWidth(float decibels, double viewWidth);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    float m_levelValue = kFloorLevel;
    bool m_meterEnabled = false;
};
