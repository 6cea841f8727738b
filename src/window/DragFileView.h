#pragma once

#include <QWidget>

class DocumentWindowController;

// A dark panel that takes one dropped slides PDF or media file to its controller, by the same
// rules as the sidebar sections. Darker at the top.
class DragFileView : public QWidget
{
    Q_OBJECT
public:
    static constexpr float kTopGrey = 0.147f;
    static constexpr float kBottomGrey = 0.293f;

    explicit DragFileView(QWidget *parent = nullptr);

    // Receives dropped files; not owned.
    DocumentWindowController *controller() const { return m_controller; }
    void setController(DocumentWindowController *controller) { m_controller = controller; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    DocumentWindowController *m_controller = nullptr;
};
