#include "document/MediaSidebar.h"

#include <QAbstractButton>
#include <QEvent>
#include <QSplitter>
#include <QToolButton>

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
    connect(&splitView, &QSplitter::splitterMoved, this, &MediaSidebar::didResizeSubviews);
    didResizeSubviews();
}

MediaSidebar::~MediaSidebar()
{
    if (m_sidebar)
        m_sidebar->removeEventFilter(this);
    if (m_splitView) {
        if (QSplitterHandle *divider = m_splitView->handle(1))
            divider->removeEventFilter(this);
    }
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
    if (!m_splitView)
        return;
    m_positionDivider(m_splitView->width() - m_splitView->handleWidth() - m_mediaWidth);
    didResizeSubviews();
}

void MediaSidebar::collapse()
{
    // The far right of the split view: the whole width goes to the text.
    m_positionDivider(m_splitView->rect().x() + m_splitView->width());
    didResizeSubviews();
}

void MediaSidebar::collapseButtonPressed()
{
    if (!m_button || !m_splitView)
        return;
    if (m_button->property(kImageProperty).toString() == QLatin1String(kCloseImage))
        collapse();
    else
        expand();
}

bool MediaSidebar::collapsed() const
{
    const QList<int> sizes = m_splitView->sizes();
    return sizes.size() < 2 || sizes.at(1) < kCollapsedWidth;
}

void MediaSidebar::didResizeSubviews()
{
    if (!m_button || !m_splitView || !m_sidebar)
        return;
    const bool closed = collapsed();
    m_button->setProperty(kImageProperty, QLatin1String(closed ? kExpandImage : kCloseImage));
    // The arrow points where the sidebar goes when the button is pressed.
    if (auto *tool = qobject_cast<QToolButton *>(m_button.data()))
        tool->setArrowType(closed ? Qt::LeftArrow : Qt::RightArrow);
}

bool MediaSidebar::eventFilter(QObject *watched, QEvent *event)
{
    if (m_splitView && watched == m_splitView->handle(1) &&
        event->type() == QEvent::MouseButtonDblClick) {
        if (shouldCollapseForDoubleClick(m_sidebar))
            collapse();
        return true;
    }
    // The sidebar's own events come once its new size is set.
    if (watched == m_sidebar && (event->type() == QEvent::Resize || event->type() == QEvent::Show ||
                                 event->type() == QEvent::Hide))
        didResizeSubviews();
    return QObject::eventFilter(watched, event);
}
