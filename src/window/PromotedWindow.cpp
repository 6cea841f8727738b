#include "window/PromotedWindow.h"

#include "platform/ui/MainMenu.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QVBoxLayout>

PromotedWindow::PromotedWindow(const QString &title, QWidget *parent)
    : QMainWindow(parent, Qt::Window), m_content(new QWidget(this))
{
    setWindowTitle(title);
    auto *layout = new QVBoxLayout(m_content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    setCentralWidget(m_content);
    if (lq::MainMenu *menu = lq::MainMenu::current())
        menu->attachTo(menuBar());
    resize(480, 360);
}

QList<QWidget *> PromotedWindow::contentSubviews() const
{
    return m_content->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
}

void PromotedWindow::setContentSubview(QWidget *view)
{
    for (QWidget *other : contentSubviews()) {
        if (other != view)
            other->setParent(nullptr);
    }
    view->setParent(m_content);
    m_content->layout()->addWidget(view);
    view->show();
}

void PromotedWindow::setContentSize(const QSize &size)
{
    // The menu bar and any other chrome keep their size.
    resize(this->size() - m_content->size() + size);
}

void PromotedWindow::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        Q_EMIT willClose(this);
}

void PromotedWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange)
        Q_EMIT keyChanged(this, isActiveWindow());
}
