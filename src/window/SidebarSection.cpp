#include "window/SidebarSection.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

SidebarSection::SidebarSection(const QString &title, QWidget *content, QWidget *parent)
    : QWidget(parent), m_disclosure(new QToolButton(this)), m_content(content)
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

    connect(m_disclosure, &QToolButton::clicked, this, &SidebarSection::setExpanded);
    setExpanded(true);
}

void SidebarSection::setExpanded(bool expanded)
{
    m_expanded = expanded;
    m_disclosure->setChecked(expanded);
    m_disclosure->setArrowType(expanded ? Qt::DownArrow : Qt::RightArrow);
    m_content->setVisible(expanded);
}
