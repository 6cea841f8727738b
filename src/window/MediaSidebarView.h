#pragma once

#include <QColor>
#include <QWidget>

// The media sidebar's background: its whole area filled with one colour, a light blue grey
// unless told otherwise. Text on it is drawn dark, whatever the desktop's theme.
class MediaSidebarView : public QWidget
{
    Q_OBJECT
public:
    explicit MediaSidebarView(QWidget *parent = nullptr);

    QColor bgColor() const { return m_bgColor; }
    void setBgColor(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_bgColor = QColor::fromRgbF(0.824f, 0.843f, 0.882f, 1.0f);
};
