#pragma once

#include <QWidget>

// The strip behind the transport sliders: the image "tbb" with its 20-pixel ends kept and its
// middle stretched over the width, as high as the image.
class TimerBarBack : public QWidget
{
    Q_OBJECT
public:
    explicit TimerBarBack(QWidget *parent = nullptr);

    QString imageName() const { return m_image; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_image = QStringLiteral("tbb");
};
