#include "engines/LQRecSession.h"

#include "platform/foundation/UserDefaults.h"
#include "shared/RecordingErrors.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QWidget>

LQRecSession::LQRecSession(QObject *parent) : QObject(parent)
{}

LQRecSession::~LQRecSession() = default;

QWidget *LQRecSession::captureView() const
{
    return m_captureView;
}

void LQRecSession::setCaptureView(QWidget *view)
{
    m_captureView = view;
}

void LQRecSession::setAudioLevel(float decibels)
{
    if (m_audioLevel.exchange(decibels) == decibels)
        return;
    QCoreApplication *application = QCoreApplication::instance();
    if (!application || QThread::currentThread() == application->thread()) {
        Q_EMIT audioLevelChanged(decibels);
        return;
    }
    // The engine lives and dies on the main thread, so the pointer is checked where it is used.
    QMetaObject::invokeMethod(
        application,
        [engine = QPointer<LQRecSession>(this), decibels] {
            if (engine)
                Q_EMIT engine->audioLevelChanged(decibels);
        },
        Qt::QueuedConnection);
}

bool LQRecSession::ownerAnswers(LQRecSessionOwner::Callback callback) const
{
    return m_owner && m_owner->answers(callback);
}

void LQRecSession::sendDidStartRecordingToOutputFile(const QUrl &url, double secondsAgo)
{
    if (ownerAnswers(LQRecSessionOwner::Callback::DidStartRecordingToOutputFile))
        m_owner->didStartRecordingToOutputFile(url, secondsAgo);
}

void LQRecSession::sendSessionRecordingCompleted()
{
    if (ownerAnswers(LQRecSessionOwner::Callback::SessionRecordingCompleted))
        m_owner->sessionRecordingCompleted(this);
}

LQRecordingController *LQRecSession::ownerController()
{
    return ownerAnswers(LQRecSessionOwner::Callback::Controller) ? m_owner->controller() : nullptr;
}

void LQRecSession::sendRecordingStopped()
{
    if (ownerAnswers(LQRecSessionOwner::Callback::RecordingStopped))
        m_owner->recordingStopped();
}

bool LQRecSession::mayUseDevice(bool audio, const QString &uniqueId)
{
    lq::UserDefaults &defaults = lq::UserDefaults::standard();
    const QString selectedKey =
        audio ? QStringLiteral("audioDevice") : QStringLiteral("videoDevice");
    if (!defaults.boolForKey(QStringLiteral("onlySelectedDevice")) ||
        !defaults.contains(selectedKey) || defaults.stringForKey(selectedKey) == uniqueId)
        return true;
    reportRecordingError(m_errorHandler,
                         QStringLiteral("Error, selected %1 recording device is not connected. "
                                        "Please connect it and try again")
                             .arg(audio ? QStringLiteral("audio") : QStringLiteral("video")),
                         false);
    return false;
}
