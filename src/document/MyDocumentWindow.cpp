// A note's creation, the set-up of its window and the window's layout and information bar.

#include "document/BMColorPicker.h"
#include "document/DefaultWindowState.h"
#include "document/DocumentWindowController.h"
#include "document/InformationBar.h"
#include "document/MediaSidebar.h"
#include "document/MyDocument.h"
#include "document/ScaledImageHandler.h"
#include "document/TemporaryFolderClaim.h"
#include "document/UndoableTextChanges.h"
#include "document/WrenTextView.h"
#include "model/WrenRecording.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/FileOperations.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/TimerService.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/TextFont.h"
#include "platform/ui/AlertPresenter.h"
#include "platform/ui/FilePanel.h"
#include "platform/ui/NamedImages.h"
#include "platform/ui/WindowFrameString.h"
#include "preferences/ArchivedValues.h"
#include "preferences/PrefsController.h"
#include "shared/AppFolders.h"
#include "shared/WindowFitting.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QSplitter>
#include <QStandardPaths>
#include <QTextDocument>

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

constexpr double kInfoBarInterval = 60.0;
constexpr qreal kTextInset = 10.0;
constexpr int kLastSaveNameNumber = 1000;

void showIcon(QLabel *label, const QString &name)
{
    label->setPixmap(lq::namedImage(name, label->devicePixelRatioF()));
}

} // namespace

// Creation

std::unique_ptr<MyDocument> MyDocument::create(QObject *parent)
{
    // Notes made within one second start their search for a free folder at the same number.
    std::srand(static_cast<unsigned>(std::floor(lq::Date::now().secondsSince1970())));
    auto document = std::make_unique<MyDocument>(parent);
    if (!document->resetState())
        return nullptr;
    document->initRecording();
    return document;
}

bool MyDocument::resetState()
{
    std::optional<TemporaryFolder> folder = makeTemporaryFolder();
    if (folder)
        startOver(std::move(*folder));
    return folder.has_value();
}

std::optional<MyDocument::TemporaryFolder> MyDocument::makeTemporaryFolder()
{
    const auto fail = [](const QString &reason) -> std::optional<TemporaryFolder> {
        lq::AlertRequest alert;
        alert.style = lq::AlertRequest::Style::Critical;
        alert.messageText = tr("Error trying to create temporary directory: %1.").arg(reason);
        lq::AlertPresenter::current().runModal(alert);
        return std::nullopt;
    };
    const std::optional<QString> cache = appCachePath();
    if (!cache)
        return fail(tr("there is no cache folder"));
    QDir().mkpath(*cache);
    // The folder is made exclusively: a name another note took meanwhile is passed over, and
    // so is a new folder that a start clearing leftovers claimed first (it removes it).
    qint64 number = std::rand() % 1'000'000;
    lq::Error error;
    TemporaryFolder made;
    for (;; ++number) {
        made.path = QDir(*cache).filePath(TemporaryFolderClaim::folderName(number));
        if (!lq::FileOperations::current().makeFolder(made.path, &error)) {
            if (error.code() == EEXIST)
                continue;
            QString reason = error.localizedDescription();
            if (reason.endsWith(QLatin1Char('.')))
                reason.chop(1);
            return fail(reason);
        }
        bool heldElsewhere = false;
        made.claim = TemporaryFolderClaim::take(made.path, &heldElsewhere);
        if (made.claim || !heldElsewhere)
            break;
    }
    if (!made.claim)
        lq::log(QStringLiteral("The temporary folder %1 cannot be locked; after a crash, its "
                               "recordings are not offered back.\n")
                    .arg(made.path));
    return made;
}

void MyDocument::startOver(TemporaryFolder &&folder)
{
    tempRecordingDir = folder.path;
    m_tempFolderClaim = std::move(folder.claim);
    nameStoredPackageInClaim();
    m_serialNumber = 0;
    setFailedSaveAborted(lq::Error());
}

void MyDocument::initRecording()
{
    m_recordingObject->setOwner(this);
    m_recordingObject->setErrorHandler(this);
    if (!tempRecordingDir.isEmpty())
        m_recordingObject->setTempDir(tempRecordingDir);
}

// Window set-up

void MyDocument::addWindowController(std::unique_ptr<DocumentWindowController> controller)
{
    m_windowController = std::move(controller);
    windowControllerDidLoadNib();
    watchFullScreen();
}

void MyDocument::windowControllerDidLoadNib()
{
    DocumentWindowController &controller = *m_windowController;
    const DocumentWindowOutlets &outlets = controller.outlets();
    // A repeated set-up (a revert) starts from a closed controller.
    controller.close();
    setUpTextView();
    controller.windowControllerDidLoadNib();

    for (const auto &[label, icon] :
         {std::pair{outlets.notesDateImageView, QStringLiteral("info-date")},
          {outlets.charCountImageView, QStringLiteral("info-characters")},
          {outlets.recImageView, QStringLiteral("info-recorded")}})
        showIcon(label, icon);
    updateInfoBar();
    m_infoBarTimer =
        lq::TimerService::current().schedule(kInfoBarInterval, true, [this] { updateInfoBar(); });

    m_recordingObject->loadController(&controller.recordingWindowController());
    // Resizing the window resizes the text area; the sidebar keeps its width.
    outlets.mainSplitView->setStretchFactor(0, 1);
    outlets.mainSplitView->setStretchFactor(1, 0);
    setUpSidebar();

    restoreDefaultDocumentState();
    positionWindow(savedFrame);
    if (recordingControllerState)
        controller.setState(*recordingControllerState);
    mediaWidth = outlets.mediaSideBar->width();
    if (dividerPosition)
        positionDivider(*dividerPosition);

    if (!m_openImportingFile.isEmpty()) {
        controller.addPath(m_openImportingFile);
        setFileUrl(QString());
        m_openImportingFile.clear();
    }
    if (outlets.colorPicker)
        outlets.colorPicker->setTarget(this);
    m_listButton = outlets.listButton;
    outlets.textView->setSelectedRange({0, 0});
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_windowController)
                return;
            const DocumentWindowOutlets &shown = m_windowController->outlets();
            shown.mainSplitView->update();
            shown.textView->viewport()->update();
            if (QWidget *around = shown.textView->parentWidget())
                around->update();
        },
        Qt::QueuedConnection);
    m_startingUp = false;
    resetListSatus();
    resetColorPicker();
}

void MyDocument::setUpTextView()
{
    DocumentWindowController &controller = *m_windowController;
    WrenTextView *view = controller.outlets().textView;
    setTextView(view);
    view->setContinuousSpellCheckingEnabled(
        lq::UserDefaults::standard().boolForKey(QStringLiteral("checkSpellingByDefault")));
    QTextDocument *text = m_textStorage.document();
    ScaledImageHandler::install(text);
    {
        // Layout only: the text itself does not change.
        const lq::DeliberateTextChange layout;
        text->setDocumentMargin(kTextInset);
    }
    if (m_textStorage.length() == 0) {
        lq::TextAttributes typing = view->attributesForNewText({0, 0});
        typing.font =
            lq::textFontFromQFont(PrefsController::sharedController().currentDefaultFont());
        view->setTypingAttributes(typing);
    }
    view->setController(&controller);
}

// Layout

void MyDocument::positionWindow(const std::optional<QString> &frame)
{
    if (isInViewingMode() || !m_windowController)
        return;
    QMainWindow *window = m_windowController->outlets().window;
    if (frame) {
        const QRect before = window->frameGeometry();
        lq::setWindowFrameFromString(window, *frame);
        const QRect after = window->frameGeometry();
        if (after.top() != before.top() || after.left() != before.left())
            m_shouldCascadeWindows = false;
    }
    fitWindowInScreen(window);
}

void MyDocument::positionDivider(double position)
{
    if (!m_windowController)
        return;
    const DocumentWindowOutlets &outlets = m_windowController->outlets();
    QSplitter *splitter = outlets.mainSplitView;
    if (!splitter->isVisible() && m_sidebar) {
        m_sidebar->positionDividerWhenShown(position);
        return;
    }
    const QList<int> sizes = splitter->sizes();
    int total = 0;
    for (const int size : sizes)
        total += size;
    if (total <= 0)
        total = splitter->width() - splitter->handleWidth();
    // At the far end the sidebar is collapsed: its width is kept to expand it again.
    if (position + 1 >= total)
        mediaWidth = outlets.mediaSideBar->width();
    const int text = std::clamp(static_cast<int>(std::lround(position)), 0, std::max(total, 0));
    splitter->setSizes({text, std::max(total - text, 0)});
}

void MyDocument::restoreDefaultDocumentState()
{
    const std::optional<DefaultWindowState> state =
        DefaultWindowState::load(lq::UserDefaults::standard());
    if (!state)
        return;
    positionWindow(state->winFrame);
    if (!recordingControllerState && state->recControllerState && m_windowController)
        m_windowController->setState(*state->recControllerState);
    if (state->dividerPosition && !dividerPosition)
        positionDivider(*state->dividerPosition);
}

void MyDocument::saveDefaultDocumentState()
{
    if (!m_windowController) {
        QApplication::beep();
        return;
    }
    const DocumentWindowOutlets &outlets = m_windowController->outlets();
    DefaultWindowState state;
    state.winFrame = lq::windowFrameString(outlets.window);
    state.recControllerState = m_windowController->currentStateForDefault();
    state.dividerPosition = outlets.docView->width();
    state.store(lq::UserDefaults::standard());
}

// Information bar

void MyDocument::updateInfoBar()
{
    lq::runOnMainThread([this] { updateInfoBarHelper(); });
}

void MyDocument::updateInfoBarHelper()
{
    if (!m_windowController)
        return;
    using namespace information_bar;
    const DocumentWindowOutlets &outlets = m_windowController->outlets();
    outlets.notesDateField->setText(notesDateText());
    outlets.notesDateField->adjustSize();
    outlets.charCountField->setText(charactersText(m_textStorage.length()));
    outlets.charCountField->adjustSize();
    positionPrecedingField(outlets.notesDateField, outlets.charCountImageView,
                           outlets.charCountField);

    const double length = m_recordingObject->length();
    const bool showLength = length > 0 && !recording;
    if (showLength) {
        outlets.recLengthField->setText(recordedText(length));
        outlets.recLengthField->adjustSize();
        positionPrecedingField(outlets.charCountField, outlets.recImageView,
                               outlets.recLengthField);
    }
    outlets.recLengthField->setVisible(showLength);
    outlets.recImageView->setVisible(showLength);
}

QString MyDocument::notesDateText() const
{
    const std::optional<ConsistentDate> began = m_recordingObject->recordingBeginning();
    return information_bar::notesDateText(
        began ? std::optional(began->date().toQDateTime().toLocalTime().date()) : std::nullopt,
        lq::Date::now().toQDateTime().toLocalTime().date(), QLocale());
}

// Save panel

QString MyDocument::saveFolder()
{
    const lq::UserDefaults &defaults = lq::UserDefaults::standard();
    const QString key = QStringLiteral("defaultSaveLocation");
    const std::optional<QUrl> archived =
        lq::ArchivedValues::decodeFolderURL(defaults.dataForKey(key));
    const QString chosen = archived ? archived->toLocalFile() : defaults.stringForKey(key);
    if (!chosen.isEmpty() && QFileInfo(chosen).isDir())
        return chosen;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

bool MyDocument::prepareSavePanel(lq::FilePanel &panel)
{
    const QString folder = saveFolder();
    // Without a name format of the user's, the note's own name ("Untitled") is proposed.
    QString baseName = PrefsController::sharedController().currentDefaultFilename();
    if (baseName.isEmpty())
        baseName = displayName();
    const auto withExtension = [](const QString &name) {
        return name + QLatin1Char('.') + QLatin1String(kFileExtension);
    };
    QString proposed = withExtension(baseName);
    if (!folder.isEmpty()) {
        const QDir place(folder);
        for (int number = 1; QFileInfo::exists(place.filePath(proposed)); ++number) {
            proposed = withExtension(QStringLiteral("%1-%2").arg(baseName).arg(number));
            if (number == kLastSaveNameNumber)
                break;
        }
    }
    panel.setAllowedExtensions({QLatin1String(kFileExtension)});
    panel.setCanCreateFolders(true);
    panel.setDirectory(folder);
    panel.setNameFieldStringValue(proposed);
    return true;
}
