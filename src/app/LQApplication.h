#pragma once

#include "app/LumaDocumentController.h"

#include <QApplication>

class QSessionManager;

// The application object. Every way to quit passes through terminate: the Quit command, the last
// note's window closing, the session ending and SIGTERM/SIGINT.
class LQApplication final : public QApplication
{
    Q_OBJECT
public:
    LQApplication(int &argc, char **argv);
    ~LQApplication() override;

    static LQApplication *instance();

    void setDocumentController(LumaDocumentController *controller) { m_controller = controller; }

    // Quits unless a note records (then, after an alert, false) or a note stays open: each note
    // asks about its unsaved changes, or, for a quit asked for by a signal, they are autosaved.
    bool terminate(LumaDocumentController::Asking asking = LumaDocumentController::Asking::User);

    // Turns SIGTERM and SIGINT into terminate on the event loop.
    void handleTerminationSignals();

private:
    void commitData(QSessionManager &manager);
    void readSignal();
    void terminateFromOutermostLoop();

    LumaDocumentController *m_controller = nullptr;
};
