#pragma once

#include "engines/LQExportProgress.h"

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

// The window shown while a note's recording is exported: a bar, the time remaining and Cancel.
// It is the application's modal window from begin to end; the engine serves its events through
// runModalSessionOnce while the export blocks the main thread.
class ExportProgressWindow final : public QWidget, public LQExportProgress
{
    Q_OBJECT

public:
    explicit ExportProgressWindow(QWidget *parent = nullptr);

    QProgressBar *exportingProgressIndicator() const { return m_indicator; }
    QLabel *exportingTimeRemainingTextField() const { return m_timeRemaining; }
    QPushButton *exportingButton() const { return m_cancel; }

    // Shows the window as the modal one, its bar at 0, and handles its events once.
    void beginModalSession();
    // The bar back at 0 and the window hidden, no longer modal.
    void endModalSession();

    void setProgress(double fraction) override;
    void setTimeRemainingText(const QString &text) override;
    void runModalSessionOnce() override;

Q_SIGNALS:
    // Cancel pressed, or the window closed by the user.
    void cancelClicked();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QProgressBar *m_indicator = nullptr;
    QLabel *m_timeRemaining = nullptr;
    QPushButton *m_cancel = nullptr;
};
