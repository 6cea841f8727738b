// Closing a note (refused while it records; what closing lets go of) and following its window
// into and out of full screen.
#include "document/BMColorPicker.h"
#include "document/DocumentWindowController.h"
#include "document/MyDocument.h"
#include "document/TemporaryFolderClaim.h"
#include "model/RecordingWindowController.h"
#include "model/WrenRecording.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/TimerService.h"
#include "platform/ui/AlertPresenter.h"
#include "platform/ui/WindowFrameString.h"

#include <QDir>
#include <QEvent>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>

namespace {

// Tells whether a window is full screen each time its state changes.
class WindowStateWatcher final : public QObject
{
public:
    explicit WindowStateWatcher(std::function<void(bool fullScreen)> changed)
        : m_changed(std::move(changed))
    {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::WindowStateChange)
            m_changed(static_cast<QWidget *>(watched)->isFullScreen());
        return false;
    }

private:
    std::function<void(bool)> m_changed;
};

} // namespace

void MyDocument::canCloseDocument(std::function<void(bool shouldClose)> decision)
{
    if (recording) {
        // The caller hears no first: it must not wait for the alert.
        decision(false);
        lq::AlertRequest alert;
        alert.messageText = tr("I'm sorry, but you cannot close a Luma Quill document while it "
                               "is recording.");
        alert.informativeText =
            tr("If you want to close this document, you need to stop recording first.");
        lq::AlertPresenter::current().runModal(alert);
        return;
    }
    isClosing = true;
    Document::canCloseDocument([this, decision = std::move(decision)](bool shouldClose) {
        isClosing = false;
        decision(shouldClose);
    });
}

void MyDocument::close()
{
    if (recording) {
        lq::log(QStringLiteral("Program error: asked to close a note while it records; it stays "
                               "open.\n"));
        return;
    }
    Document::close();
    if (m_windowController) {
        m_windowController->close();
        m_windowController->outlets().window->hide();
    }
}

void MyDocument::prepareForClose()
{
    // A save running now still reads the temporary folder.
    waitForSaves();
    lq::NotificationCenter::defaultCenter().post(QLatin1String(kDocumentClosingNotification),
                                                 static_cast<const QObject *>(this));
    m_infoBarTimer.reset();
    // A restart queued by a recording error must not find the note gone.
    m_restartTimer.reset();
    if (recording)
        finishRecording([this] { return stopRecording(); });
    if (!tempRecordingDir.isEmpty() && !QDir(tempRecordingDir).removeRecursively())
        lq::log(
            QStringLiteral("Could not remove the temporary folder %1.\n").arg(tempRecordingDir));
    m_tempFolderClaim.reset();
    m_recordingObject->close();
    if (BMColorPicker *pen = colorPicker())
        pen->setTarget(nullptr);
}

bool MyDocument::stopPlaybackAndRecording()
{
    pausePlaying();
    if (!recording)
        return true;
    return finishRecording([this] {
        if (!m_windowController)
            return stopRecording();
        m_windowController->recordingWindowController().stopRecording();
        return !recording;
    });
}

QWidget *MyDocument::windowForSheet() const
{
    return m_windowController ? m_windowController->outlets().window : nullptr;
}

// Full screen

void MyDocument::watchFullScreen()
{
    auto watcher = std::make_unique<WindowStateWatcher>([this](bool fullScreen) {
        if (fullScreen && !m_isFullScreen)
            windowGoingToFullScreen();
        else if (!fullScreen && m_isFullScreen)
            windowExitedFullScreen();
    });
    m_windowController->outlets().window->installEventFilter(watcher.get());
    m_fullScreenWatcher = std::move(watcher);
}

void MyDocument::windowGoingToFullScreen()
{
    m_windowController->enterFullScreen();
    // Saves made meanwhile store the frame the window comes back to.
    const QWidget *window = m_windowController->outlets().window;
    const QScreen *screen = window->screen();
    const QScreen *primary = QGuiApplication::primaryScreen();
    savedFrame =
        lq::frameString(window->normalGeometry(), screen ? screen->availableGeometry() : QRect(),
                        primary ? primary->geometry() : QRect());
    m_isFullScreen = true;
}

void MyDocument::windowExitedFullScreen()
{
    m_isFullScreen = false;
}
