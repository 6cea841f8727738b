#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

// Keeps a view that fills its parent filling it: when the parent is resized and the view had
// exactly the parent's old size, the view takes the parent's new bounds, queued after the
// parent's own resize. A view of any other size is left alone. Lives as a child of the view.
class ParentFill : public QObject
{
    Q_OBJECT
public:
    explicit ParentFill(QWidget &view);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void watchParent();
    void maximize();

    QWidget &m_view;
    QPointer<QWidget> m_parent;
};
