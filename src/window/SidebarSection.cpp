#include "window/SidebarSection.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

SidebarSection::SidebarSection(const QString &title, QWidget *content, QWidget *parent)
    : QWidget(parent)
    , m_disclosure(new QToolButton(this))
    , m_title(new QLabel(title, this))
    , m_content(content)
{
    m_disclosure->setCheckable(true);
    m_disclosure->setAutoRaise(true);
    m_disclosure->setToolButtonStyle(Qt::ToolButtonIconOnly);
    // The arrow alone tells whether the section is open.
    m_disclosure->setStyleSheet(QStringLiteral("QToolButton { border: none; }"));
    m_disclosure->setAccessibleName(title);
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    m_title->setBuddy(m_disclosure);

    auto *header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    header->setSpacing(2);
    header->addWidget(m_disclosure);
    header->addWidget(m_title, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 4);
    layout->setSpacing(2);
    layout->addLayout(header);
    m_content->setParent(this);
    layout->addWidget(m_content);

    connect(m_disclosure, &QToolButton::clicked, this, [this](bool checked) {
        setExpanded(checked);
        Q_EMIT disclosureClicked(checked);
    });
    setExpanded(true);
}

void SidebarSection::setExpanded(bool expanded)
{
    m_expanded = expanded;
    m_disclosure->setChecked(expanded);
    m_disclosure->setArrowType(expanded ? Qt::DownArrow : Qt::RightArrow);
    m_content->setVisible(expanded);
}
