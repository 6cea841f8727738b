#include "app/LQApplication.h"

#include "app/LumaDocumentController.h"
#include "document/MyDocument.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"

#include <QDialog>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>

namespace {

int g_signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

} // namespace

LQApplication::LQApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    // Linux has no window-less menu bar: closing the last note quits through terminate.
    setQuitOnLastWindowClosed(false);
    connect(this, &QGuiApplication::commitDataRequest, this, &LQApplication::commitData);
}

LQApplication::~LQApplication()
{
    for (int &fd : g_signalPipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

LQApplication *LQApplication::instance()
{
    return qobject_cast<LQApplication *>(QCoreApplication::instance());
}

bool LQApplication::terminate(LumaDocumentController::Asking asking)
{
    if (m_controller && !m_controller->closeAllDocuments(asking))
        return false;
    QCoreApplication::quit();
    return true;
}

void LQApplication::commitData(QSessionManager &manager)
{
    if (!m_controller)
        return;
    for (MyDocument *note : m_controller->notes()) {
        if (note->recording.load() && manager.allowsInteraction()) {
            LumaDocumentController::showRecordingRefusal();
            manager.release();
            manager.cancel();
            return;
        }
    }
}

void LQApplication::handleTerminationSignals()
{
    if (g_signalPipe[0] >= 0 || ::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &LQApplication::readSignal);
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

void LQApplication::readSignal()
{
    char bytes[16];
    while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
    }
    lq::log(QStringLiteral("Asked to quit by a signal.\n"));
    terminateFromOutermostLoop();
}

void LQApplication::terminateFromOutermostLoop()
{
    // A signal may come while a modal dialog or a wait runs its own loop, whose caller goes on
    // using the notes a quit closes: the dialogs are dismissed, and the quit waits for the
    // outermost loop.
    if (QWidget *modal = activeModalWidget()) {
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
    }
    if (lq::isInsideNestedEventLoop()) {
        QTimer::singleShot(20, this, &LQApplication::terminateFromOutermostLoop);
        return;
    }
    // Nobody may be there to answer a question (a logout, a shutdown, kill).
    terminate(LumaDocumentController::Asking::Nobody);
}
