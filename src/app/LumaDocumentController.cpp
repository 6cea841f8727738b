#include "app/LumaDocumentController.h"

#include "app/DocumentTypes.h"
#include "app/ImportProxy.h"
#include "document/DocumentWindowController.h"
#include "document/MyDocument.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/AlertPresenter.h"
#include "platform/ui/MainMenu.h"
#include "shared/WindowFitting.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenuBar>
#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace {

LumaDocumentController *g_shared = nullptr;

constexpr int kDefaultAutosavingDelay = 900;
constexpr int kShortestAutosavingDelay = 60;

bool isNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Float:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

QString canonical(const QString &path)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? QFileInfo(path).absoluteFilePath() : resolved;
}

QMainWindow *windowOf(const lq::Document *document)
{
    const auto *note = qobject_cast<const MyDocument *>(document);
    if (!note || !note->windowController())
        return nullptr;
    return note->windowController()->outlets().window;
}

} // namespace

LumaDocumentController::LumaDocumentController(WindowMaker makeWindow, QObject *parent)
    : QObject(parent), m_makeWindow(std::move(makeWindow))
{
    lq::Document::setAutosaveDelay(autosavingDelayFromDefaults());
    g_shared = this;
}

LumaDocumentController::~LumaDocumentController()
{
    if (g_shared == this)
        g_shared = nullptr;
    // Windows go before the documents that fill them.
    while (!m_documents.empty())
        m_documents.pop_back();
}

LumaDocumentController *LumaDocumentController::shared()
{
    return g_shared;
}

int LumaDocumentController::autosavingDelayFromDefaults()
{
    const QVariant value = lq::UserDefaults::standard().object(QLatin1String(kAutosavingDelayKey));
    if (!isNumber(value))
        return kDefaultAutosavingDelay;
    const double seconds = value.toDouble();
    return seconds > kShortestAutosavingDelay ? static_cast<int>(std::min(seconds, 1e9))
                                              : kShortestAutosavingDelay;
}

std::vector<lq::Document *> LumaDocumentController::documents() const
{
    std::vector<lq::Document *> all;
    for (const auto &document : m_documents)
        all.push_back(document.get());
    return all;
}

std::vector<MyDocument *> LumaDocumentController::notes() const
{
    std::vector<MyDocument *> all;
    for (const auto &document : m_documents) {
        if (auto *note = qobject_cast<MyDocument *>(document.get()))
            all.push_back(note);
    }
    return all;
}

lq::Document *LumaDocumentController::documentForUrl(const QString &path) const
{
    const QString wanted = canonical(path);
    for (const auto &document : m_documents) {
        if (!document->fileUrl().isEmpty() && canonical(document->fileUrl()) == wanted)
            return document.get();
    }
    return nullptr;
}

MyDocument *LumaDocumentController::noteForWindow(const QWidget *window) const
{
    if (!window)
        return nullptr;
    const QWidget *topLevel = window->window();
    for (MyDocument *note : notes()) {
        if (windowOf(note) && windowOf(note) == topLevel)
            return note;
    }
    return nullptr;
}

MyDocument *LumaDocumentController::currentNote() const
{
    return noteForWindow(QApplication::activeWindow());
}

void LumaDocumentController::addDocument(std::unique_ptr<lq::Document> document)
{
    if (!m_initialOpened) {
        m_initialOpened = true;
        m_initialDoc = document.get();
    } else if (m_initialDoc) {
        replaceInitialDocument(*document);
    }
    m_documents.push_back(std::move(document));
}

void LumaDocumentController::replaceInitialDocument(const lq::Document &added)
{
    const lq::Document *initial = m_initialDoc;
    m_initialDoc = nullptr;
    if (added.fileUrl().isEmpty())
        return;
    for (lq::Document *document : documents()) {
        const auto *note = qobject_cast<const MyDocument *>(document);
        // A note that records has not necessarily been marked edited yet.
        if (document == initial && !document->isDocumentEdited() && document->fileUrl().isEmpty() &&
            !(note && note->recording.load()))
            closeDocument(document);
    }
}

std::unique_ptr<lq::Document> LumaDocumentController::takeDocument(lq::Document *document)
{
    const auto found =
        std::find_if(m_documents.begin(), m_documents.end(),
                     [document](const auto &owned) { return owned.get() == document; });
    if (found == m_documents.end())
        return nullptr;
    std::unique_ptr<lq::Document> taken = std::move(*found);
    m_documents.erase(found);
    if (m_initialDoc == document)
        m_initialDoc = nullptr;
    return taken;
}

void LumaDocumentController::showRecordingRefusal()
{
    lq::AlertRequest alert;
    alert.messageText =
        tr("I'm sorry, but you cannot close a Luma Quill document while it is recording.");
    alert.informativeText =
        tr("If you want to close this document, you need to stop recording first.");
    lq::AlertPresenter::current().runModal(alert);
}

bool LumaDocumentController::closeDocument(lq::Document *document, Asking asking)
{
    if (asking == Asking::Nobody) {
        if (!closeUnasked(document))
            return false;
    } else {
        // A question shown as a sheet answers later: the event loop turns meanwhile.
        const auto answer = std::make_shared<std::optional<bool>>();
        document->closeWhenAllowed([answer](bool closed) { *answer = closed; });
        lq::runEventLoopUntil([answer] { return answer->has_value(); }, std::chrono::hours(24));
        if (!answer->value_or(false))
            return false;
    }
    if (QMainWindow *window = windowOf(document))
        window->removeEventFilter(this);
    std::unique_ptr<lq::Document> taken = takeDocument(document);
    return true;
}

bool LumaDocumentController::closeUnasked(lq::Document *document)
{
    auto *note = qobject_cast<MyDocument *>(document);
    if (note && note->recording.load()) {
        showRecordingRefusal();
        return false;
    }
    lq::Error error;
    // Keys typed while an autosave runs are not in it: autosaved again until none is left.
    while (document->hasUnautosavedChanges()) {
        if (document->autosave(false, &error))
            continue;
        lq::AlertRequest alert;
        alert.style = lq::AlertRequest::Style::Critical;
        alert.messageText =
            tr("The note “%1” cannot be closed because its changes could not be saved.")
                .arg(document->displayName());
        alert.informativeText = error.descriptionWithCause();
        lq::AlertPresenter::current().runModal(alert);
        return false;
    }
    document->close();
    return true;
}

bool LumaDocumentController::closeAllDocuments(Asking asking)
{
    for (MyDocument *note : notes()) {
        if (note->recording.load()) {
            showRecordingRefusal();
            return false;
        }
    }
    for (lq::Document *document : documents()) {
        if (!closeDocument(document, asking))
            return false;
    }
    return true;
}

void LumaDocumentController::closeDocumentLater(lq::Document *document)
{
    QPointer<lq::Document> guarded(document);
    QTimer::singleShot(0, this, [this, guarded] {
        if (guarded)
            closeDocument(guarded.data());
    });
}

bool LumaDocumentController::performClose(lq::Document *document)
{
    const bool wasNote = qobject_cast<MyDocument *>(document) != nullptr;
    if (!closeDocument(document))
        return false;
    if (wasNote && notes().empty())
        Q_EMIT lastNoteClosed();
    return true;
}

void LumaDocumentController::giveWindow(MyDocument &note)
{
    m_makeWindow(note);
    QMainWindow *window = windowOf(&note);
    if (!window)
        return;
    const QWidget *previous = lastShownWindowBefore(&note);
    if (previous && note.shouldCascadeWindows())
        cascadeWindow(window, previous);
    if (lq::MainMenu *menu = lq::MainMenu::current())
        menu->attachTo(window->menuBar());
    window->installEventFilter(this);
    // The title names the note and marks unsaved changes.
    const auto showTitle = [window, &note] {
        window->setWindowTitle(note.displayName() + QStringLiteral("[*]"));
        window->setWindowModified(note.isDocumentEdited());
    };
    showTitle();
    connect(&note, &lq::Document::fileUrlChanged, window, showTitle);
    connect(&note, &lq::Document::editedChanged, window, showTitle);
}

void LumaDocumentController::showDocument(lq::Document *document)
{
    if (auto *proxy = qobject_cast<ImportProxy *>(document)) {
        proxy->showWindow();
        return;
    }
    if (QMainWindow *window = windowOf(document)) {
        window->show();
        window->raise();
        window->activateWindow();
    }
}

const QWidget *LumaDocumentController::lastShownWindowBefore(const lq::Document *document) const
{
    const QWidget *shown = nullptr;
    for (const MyDocument *note : notes()) {
        if (note == document)
            break;
        if (const QWidget *window = windowOf(note); window && window->isVisible())
            shown = window;
    }
    return shown;
}

bool LumaDocumentController::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Close)
        return false;
    MyDocument *note = noteForWindow(qobject_cast<QWidget *>(watched));
    if (!note)
        return false;
    // The window goes with its note, after this event.
    event->ignore();
    QPointer<MyDocument> guarded(note);
    QTimer::singleShot(0, this, [this, guarded] {
        if (guarded)
            performClose(guarded.data());
    });
    return true;
}

MyDocument *LumaDocumentController::addNote(std::unique_ptr<MyDocument> note, bool display)
{
    MyDocument *added = note.get();
    addDocument(std::move(note));
    giveWindow(*added);
    if (display)
        showDocument(added);
    return added;
}

MyDocument *LumaDocumentController::openUntitledDocumentAndDisplay(bool display)
{
    std::unique_ptr<MyDocument> created = MyDocument::create();
    if (!created)
        return nullptr; // the note has told the user why
    return addNote(std::move(created), display);
}

MyDocument *LumaDocumentController::reopenAutosavedNote(const QString &path, lq::Error *error)
{
    std::unique_ptr<MyDocument> note = MyDocument::create();
    if (!note) {
        lq::setError(error, lq::Error(QStringLiteral("status"), 3072,
                                      tr("The note has no temporary folder.")));
        return nullptr;
    }
    if (!note->reopenAutosavedContents(path, error)) {
        note->close(); // its temporary folder goes
        return nullptr;
    }
    return addNote(std::move(note), true);
}

void LumaDocumentController::openDocument(const QString &path, bool display,
                                          const Completion &completion, const QString &searchText)
{
    const auto finish = [&](lq::Document *document, bool alreadyOpen, const lq::Error &error) {
        if (completion)
            completion(document, alreadyOpen, error);
        auto *note = qobject_cast<MyDocument *>(document);
        if (note && !searchText.isEmpty())
            note->searchForPhrase(searchText);
    };
    if (lq::Document *open = documentForUrl(path)) {
        if (display)
            showDocument(open);
        finish(open, true, {});
        return;
    }
    const QString absolute = QFileInfo(path).absoluteFilePath();
    lq::Error error;
    switch (documentTypeForContentsOfUrl(absolute)) {
    case DocumentType::Note: {
        std::unique_ptr<MyDocument> note = MyDocument::create();
        if (!note) {
            finish(nullptr, false, lq::Error(QStringLiteral("status"), 3072, QString()));
            return;
        }
        if (!note->openUrl(absolute, &error)) {
            note->close(); // its temporary folder goes
            finish(nullptr, false, error);
            return;
        }
        finish(addNote(std::move(note), display), false, {});
        return;
    }
    case DocumentType::Import: {
        auto proxy = std::make_unique<ImportProxy>(*this);
        proxy->readFromUrl(absolute, nullptr);
        proxy->setFileUrl(absolute);
        ImportProxy *opened = proxy.get();
        addDocument(std::move(proxy));
        if (display)
            showDocument(opened);
        finish(opened, false, {});
        return;
    }
    case DocumentType::Unsupported:
        finish(nullptr, false,
               lq::Error(QStringLiteral("status"), -4,
                         tr("“%1” cannot be opened because Luma Quill does not open files of "
                            "this kind.")
                             .arg(QFileInfo(path).fileName())));
        return;
    }
}

void LumaDocumentController::openFiles(const QStringList &paths, const QString &searchText)
{
    for (const QString &path : paths) {
        openDocument(
            path, true,
            [](lq::Document *, bool, const lq::Error &error) {
                // A cancelled opening (3072) has told the user already.
                if (error.isNull() || error.code() == 3072)
                    return;
                lq::AlertRequest alert;
                alert.style = lq::AlertRequest::Style::Critical;
                alert.messageText = error.localizedDescription();
                lq::AlertPresenter::current().runModal(alert);
            },
            searchText);
    }
}
