#pragma once

#include <QString>

class QPainter;
class QRectF;

// Draws a slider of the transport strip from named images: a 14 by 14 knob, lit while playing,
// and a bar that each kind of slider draws its own way.
class ToveSliderCell
{
public:
    explicit ToveSliderCell(double vertOffset = 0.0) : m_vertOffset(vertOffset) {}
    virtual ~ToveSliderCell() = default;

    static constexpr double knobThickness() { return 14.0; }
    // Pixels the knob is moved down (negative: up) from the middle.
    double vertOffset() const { return m_vertOffset; }

    QString knobImageName() const { return m_knobImage; }
    bool isLit() const { return m_lit; }
    // Answers whether the knob image changed; it changes only when lit does.
    bool setLit(bool lit);

    // The knob image, centred in knobRect and moved by the offset.
    void drawKnob(QPainter &painter, const QRectF &knobRect) const;
    // The bar across bounds, with the knob's centre at knobCentre.
    virtual void drawBar(QPainter &painter, const QRectF &bounds, double knobCentre) const = 0;

private:
    QString m_knobImage = QStringLiteral("scrobber-handle");
    double m_vertOffset;
    bool m_lit = false;
};

// The playhead's bar: the played colour left of the knob, the unplayed colour right of it.
class TimerBarSliderCell : public ToveSliderCell
{
public:
    QString unplayedImageName() const { return m_unplayedImage; }
    QString playedImageName() const { return m_playedImage; }

    void drawBar(QPainter &painter, const QRectF &bounds, double knobCentre) const override;

private:
    QString m_unplayedImage = QStringLiteral("unplayedslider");
    QString m_playedImage = QStringLiteral("playedslider");
};

// The speed slider's bar: the same at every value. Knob and bar sit a pixel higher.
class SpeedSliderCell : public ToveSliderCell
{
public:
    SpeedSliderCell() : ToveSliderCell(-1.0) {}

    QString speedbarImageName() const { return m_speedbarImage; }

    void drawBar(QPainter &painter, const QRectF &bounds, double knobCentre) const override;

private:
    QString m_speedbarImage = QStringLiteral("speedbar");
};
