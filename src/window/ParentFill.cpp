#include "window/ParentFill.h"

#include <QResizeEvent>
#include <QWidget>

ParentFill::ParentFill(QWidget &view) : QObject(&view), m_view(view)
{
    m_view.installEventFilter(this);
    watchParent();
}

void ParentFill::watchParent()
{
    if (m_parent)
        m_parent->removeEventFilter(this);
    m_parent = m_view.parentWidget();
    if (m_parent)
        m_parent->installEventFilter(this);
}

bool ParentFill::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &m_view && event->type() == QEvent::ParentChange)
        watchParent();
    else if (watched == m_parent && event->type() == QEvent::Resize &&
             m_view.size() == static_cast<QResizeEvent *>(event)->oldSize())
        QMetaObject::invokeMethod(this, &ParentFill::maximize, Qt::QueuedConnection);
    return false;
}

void ParentFill::maximize()
{
    if (QWidget *parent = m_view.parentWidget())
        m_view.setGeometry(parent->rect());
}
