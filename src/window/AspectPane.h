#pragma once

#include <QFrame>

// A framed pane of the media sidebar whose height follows its width in the proportions of what
// it shows (a video, a slide).
class AspectPane : public QFrame
{
    Q_OBJECT
public:
    static constexpr double kDefaultAspectRatio = 4.0 / 3.0;

    explicit AspectPane(QWidget *parent = nullptr);

    double aspectRatio() const { return m_aspectRatio; }
    // Width over height; a ratio that is not finite and above 0 keeps the default.
    void setAspectRatio(double ratio);

private:
    double m_aspectRatio = kDefaultAspectRatio;
};
