// Saving a document: saves run one at a time, each begun on the main thread (where the contents
// are taken) and written and swapped into place on a worker thread.
#include "platform/document/Document.h"
#include "platform/document/SafeSaveLocation.h"
#include "platform/foundation/FileOperations.h"
#include "platform/foundation/MainThread.h"

#include <optional>
#include <utility>

namespace lq {

namespace {

constexpr std::chrono::hours kNoTimeLimit(24 * 365);

} // namespace

void Document::saveToUrl(const QString &path, SaveOperation operation, SaveDone done)
{
    requestSave({path, operation, std::move(done)});
}

bool Document::saveToUrl(const QString &path, SaveOperation operation, Error *error)
{
    return waitForSave([&](SaveDone done) { saveToUrl(path, operation, std::move(done)); }, error);
}

void Document::save(SaveDone done)
{
    saveToUrl(m_fileUrl, SaveOperation::Save, std::move(done));
}

bool Document::save(Error *error)
{
    return saveToUrl(m_fileUrl, SaveOperation::Save, error);
}

void Document::autosave(bool implicitlyCancellable, SaveDone done)
{
    requestSave(
        {QString(), SaveOperation::AutosaveInPlace, std::move(done), true, implicitlyCancellable});
}

bool Document::autosave(bool implicitlyCancellable, Error *error)
{
    return waitForSave([&](SaveDone done) { autosave(implicitlyCancellable, std::move(done)); },
                       error);
}

void Document::autosaveWithImplicitCancellability(bool implicitlyCancellable, AutosaveDone done)
{
    autosave(implicitlyCancellable, std::move(done));
}

bool Document::waitForSave(const std::function<void(SaveDone)> &start, Error *error)
{
    if (m_beginningSave) {
        // Asked from inside the beginning of a save: it could only begin once this returned.
        setError(error, Error(QStringLiteral("saving"), -4,
                              tr("The document cannot be saved while its last save begins.")));
        return false;
    }
    std::optional<std::pair<bool, Error>> result;
    start([&result](bool saved, const Error &failure) { result.emplace(saved, failure); });
    runEventLoopUntil([&result] { return result.has_value(); }, kNoTimeLimit);
    if (!result->first)
        setError(error, result->second);
    return result->first;
}

void Document::waitForSaves()
{
    // A save this thread is beginning cannot end before its caller returns.
    if (!isSaving() || m_beginningSave)
        return;
    runEventLoopUntil([this] { return !isSaving(); }, kNoTimeLimit);
}

void Document::requestSave(SaveRequest request)
{
    m_saveRequests.push_back(std::move(request));
    startNextSave();
}

void Document::startNextSave()
{
    if (m_runningSave || m_beginningSave || m_saveRequests.empty())
        return;
    SaveRequest request = std::move(m_saveRequests.front());
    m_saveRequests.pop_front();
    beginSave(std::move(request));
}

void Document::beginSave(SaveRequest request)
{
    if (request.isAutosave) {
        if (!hasUnautosavedChanges()) {
            if (request.done)
                request.done(true, Error());
            startNextSave();
            return;
        }
        request.operation =
            m_fileUrl.isEmpty() ? SaveOperation::AutosaveElsewhere : SaveOperation::AutosaveInPlace;
        request.path = m_fileUrl;
    }
    const QString path = request.operation == SaveOperation::AutosaveElsewhere
                             ? autosaveElsewherePath()
                             : request.path;
    Error error;
    std::unique_ptr<SaveFolder> target;
    Writing writing;
    if (path.isEmpty()) {
        error = Error(QStringLiteral("saving"), -4, tr("The document has no file to be saved to."));
    } else {
        m_beginningSave = true;
        withFileAccessLock([&] {
            clearLeftovers(path, false);
            // Held until the result took the stored file's place.
            target = SaveFolder::makeFresh(path, &error);
            if (!target)
                return;
            m_currentOperation = request.operation;
            m_implicitlyCancellable = request.implicitlyCancellable;
            writing = beginWriting(target->path(), request.operation, &error);
            m_implicitlyCancellable = false;
        });
        m_beginningSave = false;
    }
    if (!writing) {
        if (target && FileOperations::current().exists(target->path()))
            FileOperations::current().remove(target->path(), nullptr);
        if (request.done)
            request.done(false, error);
        startNextSave();
        return;
    }

    m_runningSave = std::make_unique<RunningSave>();
    RunningSave *save = m_runningSave.get();
    save->request = std::move(request);
    save->path = path;
    save->changeCount = m_changeCount;
    save->autosaveChangeCount = m_autosaveChangeCount;
    save->worker = std::thread([this, save, target = std::move(target),
                                writing = std::move(writing)]() mutable {
        {
            const std::lock_guard lock(m_writing);
            Error failure;
            save->saved =
                writing(&failure) && SafeSaveLocation::commit(target->path(), save->path, &failure);
            if (!save->saved) {
                save->error = failure;
                if (FileOperations::current().exists(target->path()))
                    FileOperations::current().remove(target->path(), nullptr);
            }
            // What the save took goes here, off the main thread.
            writing = nullptr;
            target.reset();
        }
        postToMainThread(this, [this] { finishSave(); });
    });
}

void Document::finishSave()
{
    const std::unique_ptr<RunningSave> save = std::move(m_runningSave);
    save->worker.join();
    if (save->saved)
        recordSave(*save);
    if (save->request.done)
        save->request.done(save->saved, save->error);
    startNextSave();
}

void Document::recordSave(const RunningSave &save)
{
    const SaveOperation operation = save.request.operation;
    const bool wasEdited = isDocumentEdited();
    // What was changed while the save ran is not in it.
    if (savesDocumentFile(operation)) {
        setFileUrl(save.path);
        m_changeCount -= save.changeCount;
        m_autosaveChangeCount -= save.autosaveChangeCount;
    } else if (operation == SaveOperation::AutosaveElsewhere) {
        setAutosavedContentsUrl(save.path);
        m_autosaveChangeCount -= save.autosaveChangeCount;
    }
    // The untitled document's autosaved copy is no longer needed.
    if (savesDocumentFile(operation))
        discardAutosavedContents();
    changeCountChanged(wasEdited);
    didSave(save.path, operation);
}

void Document::forgetCountsOfRunningSave()
{
    if (!m_runningSave)
        return;
    m_runningSave->changeCount = 0;
    m_runningSave->autosaveChangeCount = 0;
}

} // namespace lq
