#include "window/AspectPane.h"

#include <QVBoxLayout>

#include <cmath>

namespace {

// Lays the pane's view over the whole pane and gives the pane's height for a width: a widget with
// a layout takes its height for a width from the layout.
class AspectLayout : public QVBoxLayout
{
public:
    explicit AspectLayout(AspectPane &pane) : QVBoxLayout(&pane), m_pane(pane)
    {
        setContentsMargins(1, 1, 1, 1);
    }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override
    {
        const QMargins margins = contentsMargins();
        const int inner = width - margins.left() - margins.right();
        return static_cast<int>(std::lround(std::max(0, inner) / m_pane.aspectRatio())) +
               margins.top() + margins.bottom();
    }

private:
    AspectPane &m_pane;
};

} // namespace

AspectPane::AspectPane(QWidget *parent) : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setMinimumHeight(60);
    new AspectLayout(*this);
}

void AspectPane::setAspectRatio(double ratio)
{
    m_aspectRatio = std::isfinite(ratio) && ratio > 0 ? ratio : kDefaultAspectRatio;
    layout()->invalidate();
    updateGeometry();
}
