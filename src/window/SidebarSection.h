#pragma once

#include <QWidget>

class QToolButton;

// One section of the media sidebar: a title row with a disclosure button over a content area
// that shows only while the section is expanded. The expanded flag follows the button, whether
// the user clicks it or the program sets it.
class SidebarSection : public QWidget
{
    Q_OBJECT
public:
    SidebarSection(const QString &title, QWidget *content, QWidget *parent = nullptr);

    bool expanded() const { return m_expanded; }
    // Opens or shuts the section and sets the disclosure button to match; emits nothing.
    void setExpanded(bool expanded);

    QToolButton *disclosureButton() const { return m_disclosure; }
    QWidget *content() const { return m_content; }

private:
    QToolButton *m_disclosure;
    QWidget *m_content;
    bool m_expanded = false;
};
