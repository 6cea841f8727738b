#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

// The small modal window that shows an import running when no choice was asked, with a Cancel
// button while cancelling is still possible.
class ImportProgressWindow final : public QWidget
{
    Q_OBJECT

public:
    explicit ImportProgressWindow(QWidget *parent = nullptr);

    QLabel *progressText() const { return m_text; }
    QProgressBar *progressIndicator() const { return m_indicator; }
    QPushButton *cancelImportingButton() const { return m_cancel; }

    // Centres the window on the screen, starts the indicator and shows the window.
    void start();
    void stop();

Q_SIGNALS:
    // Cancel pressed, or the window closed while Cancel is offered.
    void cancelClicked();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QLabel *m_text = nullptr;
    QProgressBar *m_indicator = nullptr;
    QPushButton *m_cancel = nullptr;
};
