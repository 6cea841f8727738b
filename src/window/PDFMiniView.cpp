#include "window/PDFMiniView.h"

#include "window/FileDrop.h"

#include <QDropEvent>

PDFMiniView::PDFMiniView(QWidget *parent) : PdfView(parent)
{
    setToolTip(tr("Double-click to promote Slides to their own window."));
    setAcceptDrops(true);
}

void PDFMiniView::mouseDoubleClickEvent(QMouseEvent *event)
{
    sendDoubleClick(event, &LQVideoViewController::pdfMiniViewDoubleClicked);
}

void PDFMiniView::dragEnterEvent(QDragEnterEvent *event)
{
    if (!file_drop::dragEntered(*event))
        PdfView::dragEnterEvent(event);
}

void PDFMiniView::dropEvent(QDropEvent *event)
{
    if (!file_drop::dropped(*event, dynamic_cast<DocumentWindowController *>(controller())))
        PdfView::dropEvent(event);
}
