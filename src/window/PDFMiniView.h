#pragma once

#include "window/MiniViewActions.h"
#include "window/PdfView.h"

// The current slide in the media sidebar. A double click asks the controller to promote the
// slides into a window of their own; a dropped slides PDF or media file goes to the controller
// by the sidebar's drop rules. Shortcuts typed while it has the focus reach the menus.
class PDFMiniView : public PdfView, public MiniViewActions
{
    Q_OBJECT
public:
    explicit PDFMiniView(QWidget *parent = nullptr);

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};
