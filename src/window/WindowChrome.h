#pragma once

#include <QWidget>

// Text, labels and buttons of widget and its children drawn in black, for a light backdrop of
// its own that does not follow the desktop's theme.
void drawTextDark(QWidget &widget);

// The bar along the foot of a note's window, 22 pixels high: a light gradient of the window's
// colour under a thin line that parts it from the content above.
class BottomBar : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kHeight = 22;

    explicit BottomBar(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// The backdrop of the edit lock strip: a light grey gradient, darker at the foot. Text on it is
// drawn dark, whatever the desktop's theme.
class LockBackgroundView : public QWidget
{
    Q_OBJECT
public:
    explicit LockBackgroundView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// The strip under the toolbar that carries the toolbar's look down into the window: the window's
// own background between a white line along its top and a black line along its foot.
class ToolbarExtension : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kHeight = 4;

    explicit ToolbarExtension(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
