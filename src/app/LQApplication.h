#pragma once

#include <QApplication>

class LumaDocumentController;
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

    // Quits unless a note records (then, after an alert, false): the notes' unautosaved changes
    // are autosaved first, and a note whose changes cannot be kept stops the quit.
    bool terminate();

    // Turns SIGTERM and SIGINT into terminate on the event loop.
    void handleTerminationSignals();

private:
    void commitData(QSessionManager &manager);
    void readSignal();
    void terminateFromOutermostLoop();

    LumaDocumentController *m_controller = nullptr;
};
