#include "document/ImportMediaController.h"

#include "document/ImportMediaView.h"
#include "document/ImportMediaWindow.h"
#include "document/ImportProgressWindow.h"
#include "document/ImportTarget.h"
#include "model/MediaPlayabilityCheck.h"
#include "model/OldMediaConverter.h"
#include "model/WrenTimerSession.h"
#include "platform/foundation/Log.h"
#include "platform/ui/AlertPresenter.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

#include <array>

namespace {

using MediaClass = ImportMediaView::MediaClass;

constexpr std::array kKeyOrder{MediaClass::AudioAndVideo, MediaClass::AudioOnly,
                               MediaClass::VideoOnly, MediaClass::Neither};

struct SessionMedia
{
    bool hasAudio = false;
    bool hasVideo = false;
    double length = 0;
};

SessionMedia mediaOf(const WrenTimerSession *session)
{
    SessionMedia media;
    if (!session)
        return media;
    media.hasAudio = session->hasAudio();
    media.hasVideo = session->hasVideo();
    if (!session->length(&media.length))
        media.length = 0;
    return media;
}

QString keyLabel(MediaClass mediaClass)
{
    switch (mediaClass) {
    case MediaClass::AudioAndVideo:
        return ImportMediaController::tr("Audio and video");
    case MediaClass::AudioOnly:
        return ImportMediaController::tr("Audio");
    case MediaClass::VideoOnly:
        return ImportMediaController::tr("Video");
    case MediaClass::Neither:
        break;
    }
    return ImportMediaController::tr("No audio/video");
}

// What replacing every session would delete.
QString replaceWarning(const std::vector<std::shared_ptr<WrenTimerSession>> &sessions)
{
    bool audio = false;
    bool video = false;
    for (const auto &session : sessions) {
        const SessionMedia media = mediaOf(session.get());
        audio = audio || media.hasAudio;
        video = video || media.hasVideo;
    }
    if (audio && video)
        return ImportMediaController::tr(
            "Warning, this will delete the current recorded audio and video");
    if (audio)
        return ImportMediaController::tr("Warning, this will delete the current recorded audio");
    if (video)
        return ImportMediaController::tr("Warning, this will delete the current recorded video");
    return {};
}

// An alert of error, the description of its cause as the informative text.
void showErrorAlert(const lq::Error &error)
{
    lq::AlertRequest alert;
    alert.messageText = error.localizedDescription();
    if (const lq::Error *cause = error.underlyingError())
        alert.informativeText = cause->localizedDescription();
    if (!error.recoveryOptions().isEmpty())
        alert.buttons = error.recoveryOptions();
    lq::AlertPresenter::current().runModal(alert);
}

void showConversionFailure()
{
    lq::AlertRequest alert;
    alert.messageText = ImportMediaController::tr("Error parsing media");
    alert.informativeText = ImportMediaController::tr(
        "Luma Quill cannot parse this audio/video file. Please consider converting it to a more "
        "common format and trying again.");
    alert.buttons = {ImportMediaController::tr("OK")};
    lq::AlertPresenter::current().runModal(alert);
}

// A name in folder, not yet taken, for the converted form of source.
QString freeConvertedPath(const QString &folder, const QString &source)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return {};
    const QString base = QFileInfo(source).completeBaseName();
    for (int n = 1;; ++n) {
        const QString name = n == 1 ? QStringLiteral("%1-converted.mov").arg(base)
                                    : QStringLiteral("%1-converted-%2.mov").arg(base).arg(n);
        const QString path = QDir(folder).filePath(name);
        if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
            return path;
    }
}

} // namespace

ImportMediaController::ImportMediaController(std::unique_ptr<ImportTarget> target)
    : m_target(std::move(target))
{}

ImportMediaController::~ImportMediaController()
{
    // Windows going away must not call into a controller half torn down.
    if (m_importMediaWindow)
        m_importMediaWindow->disconnect(this);
    if (m_processingProgressWindow)
        m_processingProgressWindow->disconnect(this);
}

void ImportMediaController::setTimerSessions(
    std::vector<std::shared_ptr<WrenTimerSession>> sessions)
{
    m_timerSessions = std::move(sessions);
}

int32_t ImportMediaController::sessionCount() const
{
    return m_timerSessions ? static_cast<int32_t>(m_timerSessions->size()) : 0;
}

bool ImportMediaController::dialogVisible() const
{
    return m_importMediaWindow && m_importMediaWindow->isVisible();
}

void ImportMediaController::importMediaFromFile(const QString &path)
{
    if (!m_timerSessions)
        return;
    if (importing()) {
        lq::log(QStringLiteral("An import is under way; %1 is not imported.\n").arg(path));
        return;
    }
    m_incomingFilename = path;
    m_stage = Stage::Opening;
    lq::Error mediaError;
    m_incomingMovie = m_target->open(path, &mediaError);
    if (!m_incomingMovie) {
        m_stage = Stage::Idle;
        lq::Error error(QStringLiteral("importing"), 10, tr("Could not parse file."));
        if (!mediaError.localizedDescription().isEmpty())
            error = error.withUnderlyingError(mediaError);
        showErrorAlert(error);
        return;
    }
    const uint64_t number = ++m_importNumber;
    m_convertedFile.clear();
    if (m_timerSessions->empty()) {
        importMediaAtBeginning(true, false);
        return;
    }

    m_stage = Stage::Choosing;
    m_importMediaWindow = std::make_unique<ImportMediaWindow>();
    ImportMediaWindow *window = m_importMediaWindow.get();
    connect(window, &ImportMediaWindow::choiceClicked, this,
            &ImportMediaController::radioButtonPressed);
    connect(window, &ImportMediaWindow::okClicked, this, &ImportMediaController::okButtonPressed);
    connect(window, &QDialog::rejected, this, &ImportMediaController::cancelButtonPressed);
    fillDialog();
    window->radioButtons()->button(ImportMediaWindow::kAtEnd)->setChecked(true);
    radioButtonPressed(ImportMediaWindow::kAtEnd);
    window->centre();

    const QPointer<ImportMediaController> self(this);
    window->exec();
    // Closed without an answer: the import ends here.
    if (self && number == m_importNumber && m_stage == Stage::Choosing)
        cleanup();
}

void ImportMediaController::fillDialog()
{
    ImportMediaWindow &window = *m_importMediaWindow;
    const auto &sessions = *m_timerSessions;
    ImportMediaView *bar = window.sessionsView();
    bar->setNumSessions(static_cast<uint32_t>(sessions.size()));
    std::array<bool, kKeyOrder.size()> occurs{};
    for (uint32_t i = 0; i < sessions.size(); ++i) {
        const SessionMedia media = mediaOf(sessions[i].get());
        bar->setHasAudio(media.hasAudio, i);
        bar->setHasVideo(media.hasVideo, i);
        bar->setLength(static_cast<float>(media.length), i);
        occurs[static_cast<size_t>(ImportMediaView::classify(media.hasAudio, media.hasVideo))] =
            true;
    }
    for (int i = 0; i < ImportMediaWindow::kKeyCount; ++i) {
        ImportMediaView *swatch = window.keyView(i);
        swatch->setDisplayTime(false);
        swatch->setNumSessions(1);
        swatch->setLength(1.0f, 0);
    }
    int next = 0;
    for (const MediaClass mediaClass : kKeyOrder) {
        if (!occurs[static_cast<size_t>(mediaClass)])
            continue;
        ImportMediaView *swatch = window.keyView(next);
        swatch->setHasAudio(
            mediaClass == MediaClass::AudioAndVideo || mediaClass == MediaClass::AudioOnly, 0);
        swatch->setHasVideo(
            mediaClass == MediaClass::AudioAndVideo || mediaClass == MediaClass::VideoOnly, 0);
        window.keyTextField(next)->setText(keyLabel(mediaClass));
        window.setKeyShown(next, true);
        ++next;
    }
}

void ImportMediaController::radioButtonPressed(int id)
{
    ImportMediaWindow &window = *m_importMediaWindow;
    window.replaceArrow()->setVisible(id == ImportMediaWindow::kReplaceAll);
    window.beforeArrow()->setVisible(id == ImportMediaWindow::kAtBeginning);
    window.appendArrow()->setVisible(id != ImportMediaWindow::kAtBeginning &&
                                     id != ImportMediaWindow::kReplaceAll);
    window.warningField()->setText(
        id == ImportMediaWindow::kReplaceAll ? replaceWarning(*m_timerSessions) : QString());
}

void ImportMediaController::okButtonPressed()
{
    if (m_stage != Stage::Choosing)
        return;
    m_importMediaWindow->okButton()->hide();
    switch (m_importMediaWindow->radioButtons()->checkedId()) {
    case ImportMediaWindow::kReplaceAll:
        importMediaAtBeginning(true, true);
        break;
    case ImportMediaWindow::kAtBeginning:
        importMediaAtBeginning(true, false);
        break;
    case ImportMediaWindow::kAtEnd:
        importMediaAtBeginning(false, false);
        break;
    default:
        lq::log(QStringLiteral("Error, could not parse selection in ImportMediaView\n"));
        cleanup();
        break;
    }
}

void ImportMediaController::cancelButtonPressed()
{
    m_shouldCancelImporting = true;
    // A conversion under way sees the request when it returns; an insertion is not cancelled.
    if (m_stage == Stage::Choosing || m_stage == Stage::Loading)
        cleanup();
}

void ImportMediaController::importMediaAtBeginning(bool atBeginning, bool replace)
{
    if (dialogVisible()) {
        m_importMediaWindow->setProgressShown(true);
        m_importMediaWindow->progressTextField()->repaint();
        m_importMediaWindow->progressIndicator()->repaint();
    } else {
        m_processingProgressWindow = std::make_unique<ImportProgressWindow>();
        connect(m_processingProgressWindow.get(), &ImportProgressWindow::cancelClicked, this,
                &ImportMediaController::cancelButtonPressed);
        m_processingProgressWindow->cancelImportingButton()->show();
        m_processingProgressWindow->start();
    }
    m_shouldCancelImporting = false;
    m_stage = Stage::Converting;
    const int32_t session = atBeginning || replace ? 0 : sessionCount();
    if (!convertIfUnplayable(session)) {
        if (!m_shouldCancelImporting)
            showConversionFailure();
        cleanup();
        return;
    }
    if (m_shouldCancelImporting) {
        cleanup();
        return;
    }
    m_stage = Stage::Loading;
    const uint64_t number = m_importNumber;
    m_target->loadInBackground(m_incomingMovie->path, this, [this, number, atBeginning, replace] {
        if (number == m_importNumber && m_stage == Stage::Loading)
            importMediaSecondPhase(atBeginning, replace);
    });
}

bool ImportMediaController::convertIfUnplayable(int32_t session)
{
    MediaPlayabilityCheck *check = m_target->playabilityCheck();
    OldMediaConversion *conversion = m_target->conversion();
    if (!check || !conversion || check->isPlayable(m_incomingMovie->path))
        return true;
    m_oldConverter = conversion->makeConverter();
    if (!m_oldConverter || !m_oldConverter->convertFile(m_incomingMovie->path, session))
        return false;
    QString why;
    if (!m_oldConverter->outputOpens(&why)) {
        lq::log(QStringLiteral("Failed to convert movie: QT reported: %1\n").arg(why));
        return false;
    }
    const QString destination =
        freeConvertedPath(m_target->convertedFileFolder(), m_incomingFilename);
    if (destination.isEmpty()) {
        lq::log(QStringLiteral("Failed to convert movie: no folder to keep it in\n"));
        return false;
    }
    m_oldConverter->saveAsMovFile(destination);
    QString failure = QStringLiteral("nothing was written to %1").arg(destination);
    std::optional<ImportedMovie> converted;
    if (QFileInfo(destination).isFile()) {
        lq::Error error;
        converted = m_target->open(destination, &error);
        failure = error.localizedDescription();
    }
    if (!converted) {
        lq::log(QStringLiteral("Failed to convert movie: QT reported: %1\n").arg(failure));
        QFile::remove(destination);
        return false;
    }
    m_incomingMovie = std::move(converted);
    m_convertedFile = destination;
    return true;
}

void ImportMediaController::importMediaSecondPhase(bool atBeginning, bool replace)
{
    if (dialogVisible())
        m_importMediaWindow->cancelButton()->hide();
    else if (m_processingProgressWindow)
        m_processingProgressWindow->cancelImportingButton()->hide();
    if (m_shouldCancelImporting) {
        cleanup();
        return;
    }
    m_stage = Stage::Inserting;
    const int32_t k = atBeginning || replace ? 0 : sessionCount();
    const ImportedMovie movie = *m_incomingMovie;
    lq::Error error;
    const bool inserted = m_target->insert(movie, k, replace, &error);
    if (inserted)
        m_convertedFile.clear(); // the note's media may refer to it now
    cleanup();
    if (inserted)
        return;
    if (error.isNull())
        error = lq::Error(QStringLiteral("importing"), 2, tr("Failed to import media file."));
    showErrorAlert(error);
}

void ImportMediaController::cleanup()
{
    if (dialogVisible()) {
        m_importMediaWindow->setProgressShown(false);
        m_importMediaWindow->okButton()->show();
        m_importMediaWindow->cancelButton()->show();
        m_importMediaWindow->accept();
    }
    if (m_processingProgressWindow)
        m_processingProgressWindow->stop();
    m_oldConverter.reset();
    if (!m_convertedFile.isEmpty()) {
        QFile::remove(m_convertedFile);
        m_convertedFile.clear();
    }
    m_stage = Stage::Idle;
}
