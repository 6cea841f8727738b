#include "document/MediaSidebar.h"

#include <QAbstractButton>
#include <QEvent>
#include <QSplitter>
#include <QToolButton>

#include <utility>

MediaSidebar::MediaSidebar(QSplitter &splitView, QWidget &sidebar, QAbstractButton &collapseButton,
                           double &mediaWidth, std::function<void(double)> positionDivider)
    : m_splitView(&splitView)
    , m_sidebar(&sidebar)
    , m_button(&collapseButton)
    , m_mediaWidth(mediaWidth)
    , m_positionDivider(std::move(positionDivider))
{
    QWidget *text = splitView.widget(0);
    if (text)
        text->setMinimumWidth(kMinimumTextWidth);
    splitView.setCollapsible(0, false);
    splitView.setCollapsible(1, true);
    if (QSplitterHandle *divider = splitView.handle(1))
        divider->installEventFilter(this);
    sidebar.installEventFilter(this);
    splitView.installEventFilter(this);
    connect(&splitView, &QSplitter::splitterMoved, this, &MediaSidebar::didResizeSubviews);
    didResizeSubviews();
}

MediaSidebar::~MediaSidebar()
{
    if (QWidget *sidebar = m_sidebar.data())
        sidebar->removeEventFilter(this);
    if (QSplitter *split = splitView()) {
        split->removeEventFilter(this);
        if (QSplitterHandle *divider = split->handle(1))
            divider->removeEventFilter(this);
    }
}

QSplitter *MediaSidebar::splitView() const
{
    return qobject_cast<QSplitter *>(m_splitView.data());
}

QAbstractButton *MediaSidebar::button() const
{
    return qobject_cast<QAbstractButton *>(m_button.data());
}

bool MediaSidebar::canCollapseSubview(const QWidget *view) const
{
    return view && view == m_sidebar;
}

bool MediaSidebar::shouldCollapseForDoubleClick(const QWidget *view)
{
    if (!canCollapseSubview(view))
        return false;
    if (m_sidebar->width() >= 1) {
        m_mediaWidth = m_sidebar->width();
        return true;
    }
    expand();
    return false;
}

void MediaSidebar::expand()
{
    QSplitter *split = splitView();
    if (!split)
        return;
    m_positionDivider(split->width() - split->handleWidth() - m_mediaWidth);
    didResizeSubviews();
}

void MediaSidebar::positionDividerWhenShown(double position)
{
    if (QSplitter *split = splitView())
        m_pendingDivider = PendingDivider{position, split->window()->width()};
}

void MediaSidebar::placePendingDivider()
{
    QSplitter *split = splitView();
    if (!split || !m_pendingDivider)
        return;
    const PendingDivider pending = *std::exchange(m_pendingDivider, std::nullopt);
    m_positionDivider(pending.position + split->window()->width() - pending.windowWidth);
    didResizeSubviews();
}

void MediaSidebar::collapse()
{
    QSplitter *split = splitView();
    if (!split)
        return;
    // The far right of the split view: the whole width goes to the text.
    m_positionDivider(split->rect().x() + split->width());
    didResizeSubviews();
}

void MediaSidebar::collapseButtonPressed()
{
    const QAbstractButton *pressed = button();
    if (!pressed)
        return;
    if (pressed->property(kImageProperty).toString() == QLatin1String(kCloseImage))
        collapse();
    else
        expand();
}

bool MediaSidebar::collapsed() const
{
    const QList<int> sizes = splitView()->sizes();
    return sizes.size() < 2 || sizes.at(1) < kCollapsedWidth;
}

void MediaSidebar::didResizeSubviews()
{
    QAbstractButton *shown = button();
    if (!shown || !splitView())
        return;
    const bool closed = collapsed();
    shown->setProperty(kImageProperty, QLatin1String(closed ? kExpandImage : kCloseImage));
    // The arrow points where the sidebar goes when the button is pressed.
    if (auto *tool = qobject_cast<QToolButton *>(shown))
        tool->setArrowType(closed ? Qt::LeftArrow : Qt::RightArrow);
}

bool MediaSidebar::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
        if (QSplitter *split = splitView(); split && watched == split->handle(1)) {
            if (shouldCollapseForDoubleClick(m_sidebar))
                collapse();
            return true;
        }
        break;
    // The sidebar's own events come once its new size is set.
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
        if (watched == m_sidebar)
            didResizeSubviews();
        else if (watched == m_splitView && event->type() == QEvent::Show)
            placePendingDivider();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
