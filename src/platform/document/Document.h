#pragma once

#include "platform/document/SaveOperation.h"
#include "platform/foundation/Error.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QTimer;
class QWidget;

namespace lq {

class FilePanel;
class UndoManager;

// A document stored as one file or package: its file, its undo manager and change count, and
// saving that never harms the stored file. A save writes into a fresh hidden sibling, and only
// a complete result takes the stored file's place (swapped in one step); a failed or killed
// save leaves the stored file as it was. Subclasses write and read their contents.
//
// Main thread only, except where a call says otherwise.
class Document : public QObject
{
    Q_OBJECT
public:
    enum class ChangeKind { Done, Undone, Redone, Cleared };

    explicit Document(QObject *parent = nullptr);
    ~Document() override;

    // The stored file; empty for an untitled document.
    QString fileUrl() const { return m_fileUrl; }
    virtual void setFileUrl(const QString &path);
    // Where an untitled document was last autosaved; empty when it never was.
    QString autosavedContentsUrl() const { return m_autosavedContentsUrl; }
    QString displayName() const;

    UndoManager *undoManager() const { return m_undoManager.get(); }

    // Edited means the contents differ from the stored file: steps done after the last save
    // count up, undone ones down, so undoing back to the save is clean again.
    void updateChangeCount(ChangeKind kind);
    bool isDocumentEdited() const { return m_changeCount != 0; }
    bool hasUnautosavedChanges() const { return m_autosaveChangeCount != 0; }

    // What a save ended with, told on the main thread: saved, or not (a null error: it was
    // skipped).
    using SaveDone = std::function<void(bool saved, const Error &error)>;

    // Starts a save to path (the document's own file for Save and AutosaveInPlace; ignored for
    // AutosaveElsewhere, which picks its place) and returns at once. The contents are taken on
    // the main thread as the save begins, so edits made later are not in it and stay unsaved;
    // the writing and the swap into place run on a worker thread, and done comes back on the
    // main thread. A save asked for while another runs begins when that one has ended. Leftovers
    // of earlier interrupted saves of the same path are cleared first, never silently lost.
    void saveToUrl(const QString &path, SaveOperation operation, SaveDone done);
    // The same, waiting for the end while the event loop turns.
    bool saveToUrl(const QString &path, SaveOperation operation, Error *error);
    void save(SaveDone done);
    bool save(Error *error);
    // Autosaves in place when the document has a file, elsewhere otherwise (decided as the
    // autosave begins); does nothing without unautosaved changes then. An implicitly cancellable
    // autosave may be declined by the writer (autosavingIsImplicitlyCancellable()).
    void autosave(bool implicitlyCancellable, SaveDone done);
    bool autosave(bool implicitlyCancellable, Error *error);
    using AutosaveDone = SaveDone;
    // The autosave the timer runs; done is always called, also for a skipped autosave. The base
    // autosaves.
    virtual void autosaveWithImplicitCancellability(bool implicitlyCancellable, AutosaveDone done);
    // Whether a save runs or waits for its turn.
    bool isSaving() const { return m_runningSave || !m_saveRequests.empty(); }
    // Waits, the event loop turning, until no save runs or waits (main thread).
    void waitForSaves();

    // Reads the document from path (opening); the leftovers of an interrupted save of path are
    // looked at first, and a complete newer one is offered.
    bool openUrl(const QString &path, Error *error);
    // Reads an untitled document's autosaved copy, left by a crash or by a quit with nobody to
    // ask: the document stays untitled, autosaves into that copy again, and counts as edited, so
    // that closing asks whether to save it.
    bool reopenAutosavedContents(const QString &path, Error *error);
    // Reads the stored file again; the undo steps of the old contents are dropped.
    virtual bool revertToContentsOfUrl(const QString &path, Error *error);

    // The operation beginning now (valid inside beginWriting).
    SaveOperation currentSaveOperation() const { return m_currentOperation; }
    bool autosavingIsImplicitlyCancellable() const { return m_implicitlyCancellable; }
    // Runs work on the main thread without waiting (from a writer on any thread).
    void continueAsynchronousWorkOnMainThread(std::function<void()> work);
    // There is no such attribute here.
    bool fileNameExtensionWasHiddenInLastRunSavePanel() const { return false; }
    // There is no versions browser here.
    bool isInViewingMode() const { return false; }

    // Runs work while no save or other file access of this document runs (any thread). On the
    // main thread it never blocks: it keeps the event loop turning while it waits (a save that
    // this thread is beginning is not waited for).
    void performSynchronousFileAccess(const std::function<void()> &work);

    // The folder untitled documents are autosaved into; tests and the program may set it.
    static QString autosaveFolder();
    static void setAutosaveFolder(const QString &folder);
    // Seconds from the first unautosaved change to the autosave; 0 turns autosaving off.
    static void setAutosaveDelay(int seconds);
    static int autosaveDelay();
    // Whether saves write off the main thread, so that the user's input is never held up by
    // one; the autosave setting is then not offered.
    static constexpr bool kSavesInBackground = false;

    // Closing. closeWhenAllowed is the one entry point for every close (the window's, the
    // document controller's close and quit): it asks canCloseDocument and closes when the answer
    // is yes; done(closed) comes now or, after a question to the user or a save, later.
    void closeWhenAllowed(std::function<void(bool closed)> done = {});
    // Whether the document may close now. Unsaved changes of a document with a file are saved
    // in place without asking (and saved again while keys typed during a save left it edited);
    // an untitled document asks to save, discard or cancel. A failed save keeps it open.
    virtual void canCloseDocument(std::function<void(bool shouldClose)> decision);
    // Closes without asking: prepareForClose, then the document is closed for good (no more
    // autosaves) and says so once.
    virtual void close();
    bool isClosed() const { return m_closed.load(); }

Q_SIGNALS:
    void editedChanged(bool edited);
    void fileUrlChanged(const QString &path);
    void autosavedContentsUrlChanged(const QString &path);
    void closed();

protected:
    // The part of a save that runs on a worker thread: writes what beginWriting took.
    using Writing = std::function<bool(Error *error)>;
    // On the main thread, as a save begins: takes what the save needs of the live contents and
    // answers the writing of the whole document into target (an empty folder made for this
    // save), which then runs on a worker thread; null with an error when the save cannot go on.
    // On failure the caller removes target.
    virtual Writing beginWriting(const QString &target, SaveOperation operation, Error *error) = 0;
    virtual bool readFromUrl(const QString &path, Error *error) = 0;
    // After a save took the stored file's place (the work that must wait until the new file
    // is safely stored).
    virtual void didSave(const QString &, SaveOperation) {}
    // Whether a leftover of an interrupted save is a complete document.
    virtual bool isCompleteFile(const QString &path) const;
    // The extension an autosaved untitled document gets.
    virtual QString fileExtension() const { return QString(); }
    // Releases what the open document holds, before it is closed.
    virtual void prepareForClose() {}
    // After the contents were read again from path: the old undo steps go, path is the file and
    // nothing is edited.
    void finishRevert(const QString &path);
    // The window questions are attached to; null asks in a modal alert.
    virtual QWidget *windowForSheet() const { return nullptr; }
    // Fills the panel that asks where an untitled document is saved; false cancels.
    virtual bool prepareSavePanel(FilePanel &panel);

private:
    struct SaveRequest
    {
        QString path;
        SaveOperation operation;
        SaveDone done;
        bool isAutosave = false; // its place and operation are decided as it begins
        bool implicitlyCancellable = false;
    };
    struct RunningSave
    {
        SaveRequest request;
        QString path;
        // The counts when the contents were taken: a save of the document's file settles these.
        int changeCount = 0;
        int autosaveChangeCount = 0;
        // Set by the worker; read on the main thread once it has ended.
        bool saved = false;
        Error error;
        std::thread worker;
    };

    void withFileAccessLock(const std::function<void()> &work);
    // Runs start with a completion and waits for it, the event loop turning.
    bool waitForSave(const std::function<void(SaveDone)> &start, Error *error);
    void requestSave(SaveRequest request);
    void startNextSave();
    void beginSave(SaveRequest request);
    void finishSave();
    void recordSave(const RunningSave &save);
    // A save running while the change count was cleared leaves the count as it is.
    void forgetCountsOfRunningSave();
    // Saves in place until nothing is edited (the user may type while a save runs), then decides.
    void saveThenDecide(const std::function<void(bool)> &decision);
    void saveBeforeClose(int button, const std::function<void(bool)> &decision);
    void setAutosavedContentsUrl(const QString &path);
    // An untitled document closing without being saved: its autosaved copy goes too.
    void discardAutosavedContents();
    void clearLeftovers(const QString &path, bool offerNewer);
    void changeCountChanged(bool wasEdited);
    void scheduleAutosave();
    QString autosaveElsewherePath();

    std::unique_ptr<UndoManager> m_undoManager;
    QString m_fileUrl;
    QString m_autosavedContentsUrl;
    int m_changeCount = 0;
    int m_autosaveChangeCount = 0;
    SaveOperation m_currentOperation = SaveOperation::Save;
    bool m_implicitlyCancellable = false;
    std::recursive_mutex m_fileAccess;
    // Held by a save's worker while it writes, and by file access from other threads.
    std::mutex m_writing;
    std::deque<SaveRequest> m_saveRequests;
    std::unique_ptr<RunningSave> m_runningSave;
    bool m_beginningSave = false;
    QTimer *m_autosaveTimer = nullptr;
    std::atomic<bool> m_closed{false};
};

} // namespace lq
