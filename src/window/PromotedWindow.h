#pragma once

#include <QMainWindow>

// A window of its own for the slides or the video of a note, promoted out of the media sidebar.
// Its content view holds the promoted view, filling it. It shows the main menu, so that the
// menus' shortcuts work while it is the active window.
class PromotedWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit PromotedWindow(const QString &title, QWidget *parent = nullptr);

    QWidget *contentView() const { return m_content; }
    // The views inside the content view.
    QList<QWidget *> contentSubviews() const;
    // Makes view the content view's only subview, filling it.
    void setContentSubview(QWidget *view);
    QSize contentSize() const { return m_content->size(); }
    // Resizes the window so that its content view gets size.
    void setContentSize(const QSize &size);

Q_SIGNALS:
    // The window is about to close (its close is accepted).
    void willClose(PromotedWindow *window);
    // The window became (true) or stopped being (false) the active window.
    void keyChanged(PromotedWindow *window, bool key);

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QWidget *m_content;
};
