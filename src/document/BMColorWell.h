#pragma once

#include <QColor>
#include <QPixmap>
#include <QRect>
#include <QWidget>

class BMColorPicker;

// The highlighter pen drawn in one colour over its button, with an optional disclosure triangle
// at the lower right. Disabled, it draws the inactive pen. Its clicks go to the widget under it
// (its picker or swatch). The pen's shape is tinted once per colour, not on every paint.
class BMColorWell : public QWidget
{
    Q_OBJECT
public:
    explicit BMColorWell(QWidget *parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    // The tool's on state; drawn as a frame in the highlight colour.
    bool selected() const { return m_selected; }
    void setSelected(bool selected);
    bool showDisclosureTriangle() const { return m_showDisclosureTriangle; }
    void setShowDisclosureTriangle(bool show);
    // Where the triangle lies and is hit, in the well's coordinates.
    QRect triangleFrame() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // The pen's shape filled with the colour.
    const QPixmap &tintedPen(qreal devicePixelRatio);

    QColor m_color = QColor::fromRgbF(1, 0.5, 0);
    bool m_selected = false;
    bool m_showDisclosureTriangle = false;
    QPixmap m_tinted;
    bool m_tintIsValid = false;
};

// One swatch of the highlighter's chooser: a well covering it; a click chooses its colour.
class BMColorChoice : public QWidget
{
    Q_OBJECT
public:
    explicit BMColorChoice(QWidget *parent = nullptr);

    BMColorWell *colorWell() const { return m_well; }
    BMColorPicker *colorPicker() const { return m_picker; }
    void setColorPicker(BMColorPicker *picker) { m_picker = picker; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    BMColorWell *m_well;
    BMColorPicker *m_picker = nullptr;
};
