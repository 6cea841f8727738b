#include "window/LumaSplitView.h"

#include <QPainter>

namespace {

class StripHandle : public QSplitterHandle
{
public:
    using QSplitterHandle::QSplitterHandle;

protected:
    void paintEvent(QPaintEvent *) override
    {
        const int strip = std::min(LumaSplitView::kStripHeight, height());
        QPainter(this).fillRect(QRect(0, height() - strip, width(), strip), Qt::darkGray);
    }
};

} // namespace

LumaSplitView::LumaSplitView(Qt::Orientation orientation, QWidget *parent)
    : QSplitter(orientation, parent)
{}

QSplitterHandle *LumaSplitView::createHandle()
{
    return new StripHandle(orientation(), this);
}
