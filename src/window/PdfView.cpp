#include "window/PdfView.h"

#include "window/SlidesPages.h"

#include <QKeyEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

PdfView::PdfView(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::ClickFocus);
    setBackgroundRole(QPalette::Mid);
    setAutoFillBackground(true);
    setMinimumSize(40, 30);
}

PdfView::~PdfView() = default;

void PdfView::setDocument(std::shared_ptr<SlidesPages> document)
{
    m_document = std::move(document);
    m_page = 0;
    m_highlight = Highlight();
    m_shown = QImage();
    m_shownPage = -1;
    requestPage();
    update();
}

int PdfView::pageCount() const
{
    return m_document ? m_document->pageCount() : 0;
}

void PdfView::goToPage(int page)
{
    if (!m_document || page < 0 || page >= m_document->pageCount() || page == m_page)
        return;
    m_page = page;
    requestPage();
    update();
}

double PdfView::scaleFactor() const
{
    if (!m_autoScales || !m_document)
        return m_scale;
    const QSizeF points = m_document->pageSize(m_page);
    if (points.isEmpty())
        return m_scale;
    const QSizeF room = QSizeF(size()) - QSizeF(2 * kPageMargin, 2 * kPageMargin);
    return std::max(0.0, std::min(room.width() / points.width(), room.height() / points.height()));
}

void PdfView::setAutoScales(bool autoScales)
{
    m_autoScales = autoScales;
    requestPage();
    update();
}

void PdfView::zoomIn()
{
    m_scale = scaleFactor() * kZoomStep;
    m_autoScales = false;
    requestPage();
    update();
}

void PdfView::zoomOut()
{
    if (!canZoomOut())
        return;
    m_scale = scaleFactor() / kZoomStep;
    m_autoScales = false;
    requestPage();
    update();
}

bool PdfView::canZoomOut() const
{
    return scaleFactor() / kZoomStep >= kMinimumScale;
}

QSize PdfView::rowSizeForPage(int page) const
{
    const QSizeF points = m_document ? m_document->pageSize(page) : QSizeF();
    const double scale = scaleFactor();
    return QSize(qRound(points.width() * scale) + 2 * kPageMargin,
                 qRound(points.height() * scale) + 2 * kPageMargin);
}

QRectF PdfView::pageRect() const
{
    const QSizeF points = m_document ? m_document->pageSize(m_page) : QSizeF();
    const QSizeF shown = points * scaleFactor();
    return QRectF(QPointF((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
}

int PdfView::pixelWidth() const
{
    return static_cast<int>(std::lround(pageRect().width() * devicePixelRatioF()));
}

bool PdfView::pageReady() const
{
    return m_document && m_shownPage == m_page && m_shown.width() == pixelWidth();
}

void PdfView::requestPage()
{
    // A hidden view draws nothing: its first paint asks.
    const int width = pixelWidth();
    if (!m_document || !isVisible() || width <= 0 || pageReady())
        return;
    const int page = m_page;
    m_document->requestImage(page, width, this, [this, page, width](const QImage &image) {
        // A later turn or resize asked for another image.
        if (image.isNull() || page != m_page || width != pixelWidth())
            return;
        m_shown = image;
        m_shownPage = page;
        update();
    });
}

void PdfView::paintEvent(QPaintEvent *)
{
    if (!m_document)
        return;
    requestPage();
    if (m_shown.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF target = pageRect();
    painter.drawImage(target, m_shown);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(target.adjusted(-0.5, -0.5, 0.5, 0.5));
    if (m_highlight.page == m_shownPage && m_shownPage == m_page) {
        const double scale = scaleFactor();
        const QRectF &bounds = m_highlight.bounds;
        const QRectF marked(target.topLeft() + bounds.topLeft() * scale, bounds.size() * scale);
        // A marker's yellow reads on light and dark slides alike.
        painter.fillRect(marked, QColor(255, 214, 0, 110));
        painter.setPen(QColor(230, 160, 0));
        painter.drawRect(marked);
    }
}

void PdfView::setHighlight(const Highlight &highlight)
{
    m_highlight = highlight;
    update();
}

void PdfView::userPaged(int page)
{
    if (!m_document || page < 0 || page >= m_document->pageCount() || page == m_page)
        return;
    goToPage(page);
    Q_EMIT pageChanged(page);
}

void PdfView::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_PageDown:
    case Qt::Key_Down:
    case Qt::Key_Right:
    case Qt::Key_Space:
        userPaged(m_page + 1);
        break;
    case Qt::Key_PageUp:
    case Qt::Key_Up:
    case Qt::Key_Left:
        userPaged(m_page - 1);
        break;
    case Qt::Key_Home:
        userPaged(0);
        break;
    case Qt::Key_End:
        userPaged(pageCount() - 1);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void PdfView::wheelEvent(QWheelEvent *event)
{
    // One page per notch of the wheel, however finely it reports.
    m_wheelDelta += event->angleDelta().y();
    constexpr int kNotch = 120;
    if (std::abs(m_wheelDelta) >= kNotch) {
        userPaged(m_page + (m_wheelDelta < 0 ? 1 : -1));
        m_wheelDelta = 0;
    }
    event->accept();
}
