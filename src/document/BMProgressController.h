#pragma once

#include <QString>

#include <memory>

class QLabel;
class QProgressBar;
class QWidget;

// A small window with a title, a line of text and an indeterminate progress bar, shown while the
// document does something the user has to wait for. Made only with a title and a text.
class BMProgressController
{
public:
    static std::unique_ptr<BMProgressController> create(const QString &title, const QString &text);
    ~BMProgressController();
    BMProgressController(const BMProgressController &) = delete;
    BMProgressController &operator=(const BMProgressController &) = delete;

    // Brings the window to the front, centres it and paints it at once, so that it is on screen
    // before the caller's long work blocks the event loop. The bar moves only while events are
    // processed: widgets paint on the GUI thread alone.
    void show();
    void hide();

    QWidget *progressWindow() const { return m_window.get(); }
    QLabel *windowText() const { return m_text; }
    QProgressBar *progressBar() const { return m_bar; }

private:
    BMProgressController(const QString &title, const QString &text);

    std::unique_ptr<QWidget> m_window;
    QLabel *m_text = nullptr;
    QProgressBar *m_bar = nullptr;
};
