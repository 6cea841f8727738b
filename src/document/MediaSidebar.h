#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

class QAbstractButton;
class QSplitter;
class QWidget;

// The media sidebar beside a note's text, in the split view's second place: the divider stops
// the text at kMinimumTextWidth, a double click on the divider collapses the sidebar (keeping
// its width) or opens it again to that width, and the collapse button's image name tells which
// of the two its press does.
class MediaSidebar final : public QObject
{
public:
    static constexpr int kMinimumTextWidth = 100;
    // Narrower than this, the sidebar counts as collapsed.
    static constexpr int kCollapsedWidth = 20;
    // The dynamic property of the collapse button that holds its image name.
    static constexpr char kImageProperty[] = "imageName";
    static constexpr char kCloseImage[] = "sidebar-close";
    static constexpr char kExpandImage[] = "sidebar-expand";

    // positionDivider sets the text area's width; mediaWidth is where the sidebar's width is
    // kept while it is collapsed.
    MediaSidebar(QSplitter &splitView, QWidget &sidebar, QAbstractButton &collapseButton,
                 double &mediaWidth, std::function<void(double)> positionDivider);
    ~MediaSidebar() override;

    bool canCollapseSubview(const QWidget *view) const;
    // A double click on the divider: true when the sidebar should collapse (its width is kept);
    // a collapsed sidebar is expanded instead and false answered.
    bool shouldCollapseForDoubleClick(const QWidget *view);
    void expand();
    // Before its window shows, the split view has no width to place the divider in: the position
    // waits for its first show, moved by what the window's width changed meanwhile (the text
    // area takes what the window gains).
    void positionDividerWhenShown(double position);
    void collapseButtonPressed();
    // The button's image follows the sidebar's width.
    void didResizeSubviews();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void collapse();
    bool collapsed() const;
    void placePendingDivider();

    // Widgets are looked at through qobject_cast, which answers null for one being destroyed
    // (events still arrive while a window takes its widgets down).
    QSplitter *splitView() const;
    QAbstractButton *button() const;

    QPointer<QWidget> m_splitView;
    QPointer<QWidget> m_sidebar;
    QPointer<QWidget> m_button;
    double &m_mediaWidth;
    std::function<void(double)> m_positionDivider;

    struct PendingDivider
    {
        double position;
        int windowWidth;
    };
    std::optional<PendingDivider> m_pendingDivider;
};
