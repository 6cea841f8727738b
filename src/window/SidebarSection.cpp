#include "window/SidebarSection.h"

#include "window/FileDrop.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPropertyAnimation>
#include <QToolButton>
#include <QVBoxLayout>

SidebarSection::SidebarSection(const QString &title, QWidget *content, QWidget *parent)
    : QWidget(parent)
    , m_disclosure(new QToolButton(this))
    , m_content(content)
    , m_animation(new QPropertyAnimation(content, "maximumHeight", this))
{
    m_disclosure->setCheckable(true);
    m_disclosure->setAutoRaise(true);
    m_disclosure->setToolButtonStyle(Qt::ToolButtonIconOnly);
    // The arrow alone tells whether the section is open.
    m_disclosure->setStyleSheet(QStringLiteral("QToolButton { border: none; }"));
    m_disclosure->setAccessibleName(title);
    auto *heading = new QLabel(title, this);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    heading->setBuddy(m_disclosure);

    auto *header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    header->setSpacing(2);
    header->addWidget(m_disclosure);
    header->addWidget(heading, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 4);
    layout->setSpacing(2);
    layout->addLayout(header);
    m_content->setParent(this);
    layout->addWidget(m_content);
    setAcceptDrops(true);

    m_animation->setDuration(kAnimationMilliseconds);
    m_animation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_animation, &QPropertyAnimation::finished, this, [this] {
        // Open, the content follows its own size again; shut, it takes no focus.
        if (m_expanded)
            m_content->setMaximumHeight(QWIDGETSIZE_MAX);
        else
            m_content->hide();
    });
    connect(m_disclosure, &QToolButton::clicked, this, [this](bool on) {
        showDisclosure(on);
        Q_EMIT disclosurePressed(on);
    });
    setExpanded(true);
}

int SidebarSection::expandedContentHeight() const
{
    if (m_content->hasHeightForWidth())
        return m_content->heightForWidth(m_content->width());
    return std::max(m_content->sizeHint().height(), m_content->minimumHeight());
}

void SidebarSection::showDisclosure(bool on)
{
    m_disclosure->setChecked(on);
    m_disclosure->setArrowType(on ? Qt::DownArrow : Qt::RightArrow);
}

void SidebarSection::setExpanded(bool expanded, bool instant)
{
    m_expanded = expanded;
    showDisclosure(expanded);
    m_animation->stop();
    if (instant) {
        m_content->setMaximumHeight(expanded ? QWIDGETSIZE_MAX : 0);
        m_content->setVisible(expanded);
        return;
    }
    const int from = m_content->isVisible() ? m_content->height() : 0;
    m_content->setMaximumHeight(from);
    m_content->show();
    m_animation->setStartValue(from);
    m_animation->setEndValue(expanded ? expandedContentHeight() : 0);
    m_animation->start();
}

void SidebarSection::setBordered(bool bordered)
{
    m_bordered = bordered;
    update();
}

void SidebarSection::paintEvent(QPaintEvent *)
{
    if (!m_bordered)
        return;
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(0, 0, width(), 0);
}

void SidebarSection::dragEnterEvent(QDragEnterEvent *event)
{
    if (!file_drop::dragEntered(*event))
        QWidget::dragEnterEvent(event);
}

void SidebarSection::dropEvent(QDropEvent *event)
{
    if (!file_drop::dropped(*event, m_controller))
        QWidget::dropEvent(event);
}
