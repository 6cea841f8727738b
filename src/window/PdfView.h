#pragma once

#include <QImage>
#include <QRectF>
#include <QWidget>

#include <memory>

class SlidesPages;

// Shows one page of a slides PDF, centred: scaled to fit the view (autoscale), or at a zoom
// scale of its own. Pages not yet drawn at the needed size are drawn off the GUI thread; until
// then the page shown before stays. Several views may show one document.
class PdfView : public QWidget
{
    Q_OBJECT
public:
    // Zoom steps multiply or divide the scale by this.
    static constexpr double kZoomStep = 1.25;
    static constexpr double kMinimumScale = 0.1;
    static constexpr int kPageMargin = 4;

    explicit PdfView(QWidget *parent = nullptr);
    ~PdfView() override;

    const std::shared_ptr<SlidesPages> &document() const { return m_document; }
    // Shows the first page of document (none when null).
    void setDocument(std::shared_ptr<SlidesPages> document);
    int pageCount() const;
    // From 0; emits nothing.
    int currentPage() const { return m_page; }
    void goToPage(int page);

    // Points to pixels; with autoscale, the scale that fits the current page into the view.
    double scaleFactor() const;
    bool autoScales() const { return m_autoScales; }
    void setAutoScales(bool autoScales);
    void zoomIn();
    void zoomOut();
    bool canZoomOut() const;
    // The view size that shows page whole at the current scale with its margins.
    QSize rowSizeForPage(int page) const;

    // The current page is drawn at the size it is shown (tests and benches wait for it).
    bool pageReady() const;

    // One marked area of a page (in points from its top left corner), drawn over the page when
    // it is shown; a new document clears it.
    struct Highlight
    {
        int page = -1;
        QRectF bounds;
    };
    const Highlight &highlight() const { return m_highlight; }
    void setHighlight(const Highlight &highlight);

Q_SIGNALS:
    // The user paged (keys or wheel) to page; never sent for goToPage.
    void pageChanged(int page);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    // Where the current page is drawn, in device-independent pixels.
    QRectF pageRect() const;
    int pixelWidth() const;
    void userPaged(int page);
    void requestPage();

    std::shared_ptr<SlidesPages> m_document;
    int m_page = 0;
    bool m_autoScales = true;
    double m_scale = 1.0;
    // The last page image drawn, shown until the one wanted arrives.
    QImage m_shown;
    int m_shownPage = -1;
    int m_wheelDelta = 0;
    Highlight m_highlight;
};
