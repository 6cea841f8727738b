#pragma once

#include <QPointer>
#include <QWidget>

class DocumentWindowController;
class QPropertyAnimation;
class QToolButton;

// One section of the media sidebar: a title row with a disclosure button over a content area
// that collapses to no height or opens to its natural height, at once or sliding over half a
// second. One dropped slides or media file goes to the controller.
class SidebarSection : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kAnimationMilliseconds = 500;

    SidebarSection(const QString &title, QWidget *content, QWidget *parent = nullptr);

    bool expanded() const { return m_expanded; }
    // Opens or shuts the section and sets the disclosure button to match; emits nothing.
    void setExpanded(bool expanded, bool instant = true);

    // A grey line along the top edge.
    bool bordered() const { return m_bordered; }
    void setBordered(bool bordered);

    // Receives dropped files; not owned.
    DocumentWindowController *controller() const { return m_controller; }
    void setController(DocumentWindowController *controller) { m_controller = controller; }

    QToolButton *disclosureButton() const { return m_disclosure; }
    QWidget *content() const { return m_content; }

Q_SIGNALS:
    // The user clicked the disclosure button, turning it on or off.
    void disclosurePressed(bool on);

protected:
    void paintEvent(QPaintEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    int expandedContentHeight() const;
    void showDisclosure(bool on);

    QToolButton *m_disclosure;
    QWidget *m_content;
    QPropertyAnimation *m_animation;
    DocumentWindowController *m_controller = nullptr;
    bool m_expanded = false;
    bool m_bordered = false;
};
