#pragma once

#include "document/DocumentMediaConversion.h"
#include "document/DocumentWindowController.h"
#include "document/NoteMediaCommands.h"
#include "document/PackageWriter.h"
#include "document/WrenTextViewDelegate.h"
#include "model/ConsistentDate.h"
#include "model/RecordingOwner.h"
#include "platform/document/Document.h"
#include "platform/foundation/ArchiveValue.h"
#include "platform/foundation/Guarded.h"
#include "platform/media/FragmentedMovieRepair.h"
#include "platform/text/TextStorage.h"
#include "shared/ExportDialog.h"
#include "shared/RecordingErrors.h"

#include <QColor>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class BMColorPicker;
class DocumentWindowController;
class ExportProgressWindow;
class MediaSidebar;
class NotesPrintOperation;
class QAbstractButton;
class TemporaryFolderClaim;
class WrenRecording;
class WrenTextView;

namespace lq {
class FilePanel;
struct Notification;
class Timer;
} // namespace lq

// One open note: its text, its recording object, and the package it is stored in (a folder of
// the members "meta", "text", "bmtext", "recording", the image files, the slides and the media).
class MyDocument : public lq::Document,
                   public RecordingOwner,
                   public WrenTextViewDelegate,
                   public NoteMediaCommands,
                   public BMRecordingErrorHandler
{
    Q_OBJECT
public:
    static constexpr char kFileExtension[] = "lumaquill";
    // The domain of errors that carry a system status code (-4: the file cannot be read or
    // written as a note; 3072: the save was cancelled).
    static constexpr char kStatusErrorDomain[] = "status";

    using RepairOutcome = lq::FragmentedMovieRepair::Outcome;
    // Repairs a movie cut off while it was being recorded, in place.
    using MovieRepair = std::function<RepairOutcome(const QString &path, lq::Error *error)>;

    explicit MyDocument(QObject *parent = nullptr);
    ~MyDocument() override;

    void setFileUrl(const QString &path) override;

    lq::TextStorage &textStorage() { return m_textStorage; }
    // The notes view of the note's window (null without a window).
    WrenTextView *textView() const { return m_textView; }
    // The document becomes the view's delegate.
    void setTextView(WrenTextView *view);
    // The note's window controller (null until a window is set up); the document owns it.
    DocumentWindowController *windowController() const { return m_windowController.get(); }
    WrenRecording &recordingObject() const { return *m_recordingObject; }

    // Fields that the window, editing and closing code sets (main thread; the temporary folder is
    // set when the note is made and when it is reverted).
    QString tempRecordingDir;
    std::optional<QString> savedFrame;
    std::optional<double> dividerPosition;
    std::optional<lq::ArchiveDictionary> recordingControllerState;
    int32_t playbackMode = 1;
    std::atomic<bool> recording{false};
    std::atomic<bool> playing{false};
    std::atomic<bool> isClosing{false};
    std::atomic<bool> currentlyAutosaving{false};
    std::atomic<bool> finishedRecordingToFile{false};

    // Creation and the window
    // A new note with a temporary folder of its own; null, after an alert, when the folder
    // cannot be made.
    static std::unique_ptr<MyDocument> create(QObject *parent = nullptr);
    // Starts over in a fresh temporary folder (see makeTemporaryFolder); false after an alert.
    bool resetState();
    // Wires the recording object to this note and its temporary folder.
    void initRecording();
    // Takes the note's window controller and sets the window up for the note.
    void addWindowController(std::unique_ptr<DocumentWindowController> controller);
    // Nothing without a window; a frame string places the window first. The window is kept
    // inside its screen.
    void positionWindow(const std::optional<QString> &frame);
    // False once a stored frame moved the window: it keeps its place rather than cascading
    // from the windows opened before it.
    bool shouldCascadeWindows() const { return m_shouldCascadeWindows; }
    // Sets the text area's width.
    void positionDivider(double position);
    // The layout of "defaultWindowState" where the note has none of its own.
    void restoreDefaultDocumentState();
    // Stores this window's layout as the one new notes open with.
    void saveDefaultDocumentState();
    // Refreshes the information bar (any thread; waits for the main thread).
    void updateInfoBar();
    // RecordingOwner: the recorded length shown follows imports and their undo.
    void sessionsChanged() override { updateInfoBar(); }
    // The folder and name a save panel proposes; always true.
    bool prepareSavePanel(lq::FilePanel &panel) override;
    // Reads the package first, then stops playback and a recording, lets go of the temporary
    // folder and the recording object as closing does, and takes what was read in a fresh
    // folder. A failure at any step leaves the note as it was.
    bool revertToContentsOfUrl(const QString &path, lq::Error *error) override;
    // True from creation until the window was first set up.
    bool startingUp() const { return m_startingUp; }
    // The sidebar's width before it was collapsed; -1 until measured.
    double mediaWidth = -1.0;

    // Read from a package.
    bool openedFromRecoveryFile() const { return m_openedFromRecoveryFile; }
    // A plain media or slides file opened as a note (imported once the window is set up).
    QString openImportingFile() const { return m_openImportingFile; }
    int64_t imageNumber() const { return m_imageNumber; }

    uint64_t serialNumber() const { return m_serialNumber.load(); }
    void setSerialNumber(uint64_t number) { m_serialNumber.store(number); }
    // The error of a save the user aborted; null after a successful save.
    lq::Error failedSaveAborted() const { return m_failedSaveAborted.get(); }
    void setFailedSaveAborted(const lq::Error &error) { m_failedSaveAborted.set(error); }

    // The version checked against a package's minimum (the program's own unless set).
    void setApplicationVersion(const QString &version) { m_applicationVersion = version; }
    // Movies cut off by a crash are repaired when a note is read (tests may replace the repair).
    void setMovieRepair(MovieRepair repair) { m_movieRepair = std::move(repair); }
    // How long closing, and a save while closing, wait for the stopped recording's movie to be
    // final.
    void setRecordingStopTimeLimit(std::chrono::milliseconds limit) { m_stopTimeLimit = limit; }

    // RecordingOwner
    bool answers(Callback callback) const override;
    void setFinishedRecordingToFile(bool finished) override { finishedRecordingToFile = finished; }
    lq::UndoManager *undoManager() override { return Document::undoManager(); }
    using Document::updateChangeCount;
    void updateChangeCount(int32_t changeType) override;
    void performSynchronousFileAccess(const std::function<void()> &work) override
    {
        Document::performSynchronousFileAccess(work);
    }

    // Editing hand-off, playback highlighting and find (MyDocumentEditing.cpp,
    // MyDocumentHighlight.cpp, MyDocumentFind.cpp). Main thread unless said otherwise.

    // WrenTextViewDelegate: every change is stamped by the recording object; a move of the
    // caret that an edit did not cause jumps the recording.
    bool shouldChangeTextInRange(WrenTextView *view, lq::TextRange range,
                                 const QString &replacement) override;
    void didChangeSelection(WrenTextView *view, lq::TextRange selection) override;
    lq::UndoManager *undoManager() const override { return Document::undoManager(); }
    // In a list item a break begins the next item, or ends the list on an empty one
    // (MyDocumentLists.cpp).
    bool breakParagraph(WrenTextView *view, lq::TextRange range) override;
    // Several ranges of the text before the change, each replaced by its string (no strings: a
    // change of attributes only). Program changes of the text pass here first.
    bool shouldChangeTextInRanges(const std::vector<lq::TextRange> &ranges,
                                  const QStringList *replacements);

    // The text may be changed (undo follows it).
    bool editable() const { return m_editable; }
    void setEditable(bool editable);
    // The web export is available (the share button shows it).
    bool shareable() const { return m_shareable; }
    void setShareable(bool shareable);
    // The text view's link panel, for the selected text.
    void showLinkPanel();
    // Writes the note as web pages into folderPath (whatever stood there is replaced): the page,
    // the recording as "recording.mp4", the slide images, the player's files and, asked for, a
    // zipped copy of the note. include holds the booleans "htmlIncludesAudio",
    // "htmlIncludesVideo", "htmlIncludesSlides" and "htmlIncludesOriginal". Refused while the
    // note records or plays, and for a folder that is, holds or lies in the note's package or
    // temporary folder. A failed or cancelled media export answers false without an error.
    bool exportToHTML(const QString &folderPath, const QVariantMap &include, lq::Error *error);

    // Changes of the text that undo takes back.
    void addAttributes(lq::TextRange range, const lq::TextAttributes &attributes);
    void removeAttributes(lq::TextRange range, lq::TextAttributes::Keys keys);
    void replaceCharacters(lq::TextRange range, const QString &string);
    void replaceCharacters(lq::TextRange range, const lq::AttributedString &text);

    // Playback underline. From any thread; the work runs on the main thread, the caller waits.
    void highlightChar(uint32_t index) override;
    // skipHighlight: underline without the find indicator.
    void highlightChar(int64_t index, bool skipHighlight);
    // Clears the underline, unless index lies in the word of the last underlined character.
    void resetHighlightForCharacter(std::optional<qsizetype> index);
    lq::TextRange wordForChar(qsizetype position) const;
    // The underlined positions, in the order they were underlined (main thread).
    const std::vector<qsizetype> &highlightedChars() const { return m_highlightedChars; }
    void playbackStopped() override;

    // Selects the first occurrence of phrase in any letter case, then flashes it. From any
    // thread.
    void searchForPhrase(const QString &phrase);
    void showFind(lq::TextRange range);
    // A copy of the text, ready to be printed.
    std::unique_ptr<NotesPrintOperation> printOperation() const;

Q_SIGNALS:
    void editableChanged(bool editable);

public:
    // Lists (MyDocumentLists.cpp). Every change of the text is checked (and so stamped) once,
    // made by the document's own undoable operations, and undone in one step. Main thread,
    // except newList and removeList, which wait for it.

    // The Quick List button and the Edit menu's items 555 and 556: starts a list on the selected
    // lines (numbered or bulleted), or removes it when the selection is in a list. Nothing
    // while playback locks the text.
    void toggleList(bool numbered);
    // Makes each line that range touches an item of one list: its leading spaces and tabs
    // become the marker ("\t•\t", "\t1.\t"), its paragraph the list item's style. A range at
    // the end of the text first gets a line end of its own. Selects from after the first marker
    // to the end of what was selected.
    void newList(lq::TextRange range, bool numbered);
    // Takes the list away from the lines of range: their markers (only on lines in a list) and
    // the list's tab stops and indent.
    void removeList(lq::TextRange range);
    // Brings the Quick List button's image and tool tip and the menu titles in line with the
    // list state at the selection.
    void resetListSatus();
    // Finds the window's Quick List button again.
    void resetListButton();
    // Whether the selection touches a line in a list (a caret at 0 never does).
    bool selectionIsInList() const;
    static constexpr int kQuickListTag = 555;
    static constexpr int kQuickNumberedListTag = 556;

    // The highlighter (MyDocumentHighlighter.cpp). The entry calls may come from any thread and
    // wait for the main thread.

    // The window's highlighter tool (null without one).
    BMColorPicker *colorPicker() const;
    // Paints the selection with color (the pen's actions), or takes the colour off.
    Q_INVOKABLE void highlightSelectedAction(const QColor &color);
    Q_INVOKABLE void highlightDeselectedAction();
    // The Edit menu's item 557: takes the highlight off when the pen is on, else paints with it.
    void toggleHighlight();
    // Each non-empty range takes the background colour (one undo step); a non-empty first range
    // leaves a caret at its end; a caret as first range turns the pen on for what is typed next.
    // Nothing without ranges or while playback locks the text.
    void highlightSelected(const std::vector<lq::TextRange> &ranges, const lq::TextColor &color);
    void highlightDeselected(const std::vector<lq::TextRange> &ranges);
    // The pen's state, colour and tool tip and the menu item's title follow the background
    // colour of the text at the caret.
    void resetColorPicker();
    static constexpr int kHighlightTag = 557;

public:
    // Commands of the window and the menus (MyDocumentCommands.cpp, MyDocumentEditLock.cpp,
    // MyDocumentSidebar.cpp).
    // Main thread, except stopRecording, which may run on any thread.

    // False (nothing changes) when the recording object refuses to start.
    bool startRecording(bool audio, bool video);
    // Ends the running recording; false (the note still records) when it cannot. Also used by a
    // save while closing.
    virtual bool stopRecording();
    // Starts playback with the edit lock strip shown; false, strip and underline gone, when the
    // recording object refuses.
    bool startPlaying();
    // Asks a running playback to stop (playing clears when it has stopped).
    bool pausePlaying();
    // 0 while not playing, else 1 (fast motion now off) or 2 (now on).
    int toggleFF();
    int toggleRW();
    // A slide shown by the user: stamped while recording or during unlocked playback, else
    // followed by the playhead.
    void gotoSlide(uint32_t slide) override;
    // Imports a media file as a session of its own, where the user chooses; nothing happens while
    // the note records or plays.
    void importMediaFromFile(const QString &path) override;
    // Crops the recording at the playhead, after a warning the user may turn off; nothing while
    // the note records or plays. A failure is told in an alert.
    void trimRecordingFromNow();
    // Open panels: the chosen file goes to the window controller's addSlides, or is imported.
    void openAddSlidesDialog();
    void openImportMediaDialog();
    // Share for the Web: hands the note, and what its recording can offer, to the shared
    // sharing controller for one share. Nothing while the note cannot be shared (recording or
    // playing).
    void openExportWebDialog();

    // Slides
    // Adds the PDF at path to the recording; with slides already there the user chooses how.
    // A failure is told in an alert.
    void addSlides(const QString &path) override;
    void removeSlides();
    // Removes every slide stamp of the recording, as one undo step.
    void forgetAllSlideChanges();
    // What the user chose to do with slides added to a note that has some: the recording's mode.
    static int slidesModeForAnswer(int buttonIndex);
    // The transport buttons of the window, clicked as by the user (nothing without a window
    // or while the button is disabled).
    using TransportButton = ::TransportButton;
    void pressButton(TransportButton which);
    // The window's button (null without a window or when the window has none).
    QAbstractButton *transportButton(TransportButton which) const;
    // Edit lock: 1 locks the text during playback (clicks jump), 2 lets edits be stamped; any
    // other mode is ignored.
    static constexpr int32_t kLockedMode = 1;
    static constexpr int32_t kUnlockedMode = 2;
    void setPlaybackMode(int32_t mode);
    void editLockClicked();
    void showEditLockView();
    void hideEditLockView();
    // The media sidebar: collapse or expand it (the button's image tells which), or re-open it
    // to the width it had before it was collapsed.
    void collapseButtonPressed();
    void expandSidebar();

public:
    // Exports (MyDocumentExport.cpp). Main thread.

    // The export dialogs: a save panel with a format pop-up, then the chosen format's writer; a
    // failure with an error is told in an alert.
    void openExportTextDialog();
    void openExportSlidesDialog();
    // Exports the recording under the progress window; only logs without audio or video.
    void openExportMediaDialog();
    // The progress window's Cancel: the running media export stops.
    void exportingButtonPressed();
    // The panel and formats of the export dialog that runs; null and empty otherwise.
    lq::FilePanel *exportPanel() const { return m_exportPanel.get(); }
    const QList<ExportFormat> &exportFileTypes() const { return m_exportFileTypes; }
    // Made on first use.
    ExportProgressWindow &exportingProgressWindow();

    // The writers take the text as it is now; each writes a hidden file beside path that
    // replaces it only once complete. False with the error.
    bool exportToPlainTextFile(const QString &path, lq::Error *error);
    bool exportToRTF(const QString &path, lq::Error *error);
    bool exportToRTFD(const QString &path, lq::Error *error);
    // A copy of the slides PDF; a path naming the slides file itself is left as it is.
    bool exportToPDFFile(const QString &path, lq::Error *error);

private:
    struct ExportChoice;
    // Runs the panel titled title with formats, kept in exportPanel and exportFileTypes until
    // clearExportDialog; nullopt when cancelled.
    std::optional<ExportChoice> runExportDialog(const QString &title,
                                                const QList<ExportFormat> &formats);
    void clearExportDialog();
    std::unique_ptr<lq::FilePanel> m_exportPanel;
    QList<ExportFormat> m_exportFileTypes;
    std::unique_ptr<ExportProgressWindow> m_exportingProgressWindow;

public:
    // Autosave, recording errors, closing and full screen (MyDocumentAutosave.cpp,
    // MyDocumentErrors.cpp, MyDocumentClosing.cpp). Main thread unless said otherwise.

    // Skipped (done: not saved, no error) with the "noAutoRecovery" default set, while the
    // recording object merges its files, or once closed; refused with the stored error after a
    // save the user aborted, until a save succeeds.
    void autosaveWithImplicitCancellability(bool implicitlyCancellable, AutosaveDone done) override;

    // BMRecordingErrorHandler, from any thread (waits for the main thread). With retry, and no
    // restart in the last 20 seconds, the recording restarts 2 seconds later; otherwise the
    // message is shown on the note's window.
    void recordingErrorOccurred(const QString &message, bool shouldRetry) override;
    // Presses the window's Record button, unless a recording runs again or the note is closed.
    void restartRecordingNow();
    std::optional<ConsistentDate> lastErrorDate() const { return m_lastErrorDate.get(); }
    void setLastErrorDate(std::optional<ConsistentDate> date) { m_lastErrorDate.set(date); }
    // Runs the alert a "lowLevelUserError" notification carries under "alert" (an
    // lq::AlertRequest); nothing without one.
    void lowLevelErrorOccurred(const lq::Notification &notification);
    static constexpr char kLowLevelUserErrorNotification[] = "lowLevelUserError";
    // Posted, with the note as object, as a note closes.
    static constexpr char kDocumentClosingNotification[] = "document_closing";

    // A recording note refuses at once (the decision comes before the alert); otherwise
    // isClosing holds while the platform decides.
    void canCloseDocument(std::function<void(bool shouldClose)> decision) override;
    // Never closes a recording note. Closing posts "document_closing", stops the information
    // bar's timer, cancels a pending restart, removes the temporary folder, closes the recording
    // object and the window controller.
    void close() override;

    // Follows the window into and out of full screen: entering closes the promoted windows and
    // keeps the normal frame in savedFrame, which saves store meanwhile.
    bool isFullScreen() const { return m_isFullScreen; }
    // There is no versions browser here: nothing sets it.
    bool inVersionsBrowser() const { return m_inVersionsBrowser; }
    void setInVersionsBrowser(bool in) { m_inVersionsBrowser = in; }

protected:
    void prepareForClose() override;
    QWidget *windowForSheet() const override;

private:
    void recordingErrorHelper(const QString &message, bool shouldRetry);
    void watchFullScreen();
    void windowGoingToFullScreen();
    void windowExitedFullScreen();
    std::unique_ptr<lq::Timer> m_restartTimer;
    lq::Guarded<std::optional<ConsistentDate>> m_lastErrorDate;
    std::unique_ptr<QObject> m_fullScreenWatcher;
    bool m_isFullScreen = false;
    bool m_inVersionsBrowser = false;

protected:
    // Takes the text, the layout, the recording's archive copy and the media files (held as they
    // are now); the package is then written from these on the save's own thread.
    Writing beginWriting(const QString &target, lq::SaveOperation operation,
                         lq::Error *error) override;
    bool readFromUrl(const QString &path, lq::Error *error) override;
    void didSave(const QString &path, lq::SaveOperation operation) override;
    bool isCompleteFile(const QString &path) const override;
    QString fileExtension() const override { return QLatin1String(kFileExtension); }

private:
    struct Snapshot;
    struct StoredNote;
    // A temporary folder and the claim that keeps start-ups from taking it for a leftover.
    struct TemporaryFolder
    {
        QString path;
        std::unique_ptr<TemporaryFolderClaim> claim;
    };
    // "lumaquill-<n>" made in the cache folder; nullopt after an alert.
    static std::optional<TemporaryFolder> makeTemporaryFolder();
    // The note's media go to folder from now on; nothing is counted as saved or aborted.
    void startOver(TemporaryFolder &&folder);
    // Stops the recording with stop (on the main thread) and waits, up to the time limit, for its
    // movie to be final; false when stop did not end it.
    bool finishRecording(const std::function<bool()> &stop);
    // Playback stops, and a recording stops through the window so that it follows; false when
    // the recording goes on.
    bool stopPlaybackAndRecording();
    std::optional<StoredNote> readStoredNote(const QString &path, lq::Error *error);
    void adoptStoredNote(StoredNote &&stored, const QString &path);
    std::shared_ptr<Snapshot> takeSnapshot(const QString &target, lq::SaveOperation operation,
                                           lq::Error *error);
    // On the save's thread: touches nothing of the live note but thread-safe values.
    bool writePackage(const Snapshot &snapshot, const QString &target, lq::Error *error);
    bool askToContinueWithout(bool isSlides);
    void wireRecording(const std::shared_ptr<WrenRecording> &recording);
    void nameStoredPackageInClaim();
    void repairCutOffRecordings(const QStringList &paths);
    void windowControllerDidLoadNib();
    void setUpTextView();
    // Where a save panel starts: the default save location, else the Documents folder, else
    // the home folder.
    static QString saveFolder();
    void updateInfoBarHelper();
    // The information bar's date text ("Notes from <day>", or "Today is <day>").
    QString notesDateText() const;
    bool recordChange(lq::TextRange range, const QString &replacement);
    void highlightOnMainThread(int64_t index, bool skipHighlight);
    void resetHighlightOnMainThread(std::optional<qsizetype> index);
    void searchOnMainThread(const QString &phrase);
    void newListHelper(lq::TextRange range, bool numbered);
    void removeListHelper(lq::TextRange range);
    void highlightSelectedHelper(const std::vector<lq::TextRange> &ranges,
                                 const lq::TextColor &color);
    void highlightDeselectedHelper(const std::vector<lq::TextRange> &ranges);
    // Paints the ranges in the colour, or clears their highlight without one; then the caret
    // goes after the first range, or types in that highlight where the first range is empty.
    void paintHighlight(const std::vector<lq::TextRange> &ranges,
                        const std::optional<lq::TextColor> &color);
    // With a colour, what is typed at the caret next takes it and the pen is on; without, the
    // colour goes and the pen is off. Undo puts back the typing attributes as they were and the
    // pen's opposite state; redo does the same again at the caret.
    void setCaretHighlight(const std::optional<lq::TextColor> &color);
    void restoreCaretHighlight(const std::optional<lq::TextAttributes> &typing, bool penOn,
                               const std::optional<lq::TextColor> &redoColor);
    // The list button's shown image ("LUMAlist", "LUMAlist_no" and their "-inactive" forms).
    void showListState(bool inList);

    lq::TextStorage m_textStorage;
    WrenTextView *m_textView = nullptr;
    std::unique_ptr<DocumentWindowController> m_windowController;
    std::unique_ptr<lq::Timer> m_infoBarTimer;
    // Held while the note uses its temporary folder, naming the package it was last stored in,
    // so that a later start offers back only what a crash left there.
    std::unique_ptr<TemporaryFolderClaim> m_tempFolderClaim;
    bool m_startingUp = true;
    bool m_shouldCascadeWindows = true;
    std::shared_ptr<WrenRecording> m_recordingObject;
    // The recording's check of its media at open, and the conversion of old media.
    DocumentMediaPlayability m_mediaPlayability;
    DocumentMediaConversion m_mediaConversion;
    std::atomic<uint64_t> m_serialNumber{0};
    lq::Guarded<lq::Error> m_failedSaveAborted;
    int64_t m_imageNumber = 0;
    bool m_openedFromRecoveryFile = false;
    QString m_openImportingFile;
    QString m_applicationVersion;
    MovieRepair m_movieRepair = [](const QString &path, lq::Error *error) {
        return lq::FragmentedMovieRepair::repair(path, error);
    };
    std::chrono::milliseconds m_stopTimeLimit{std::chrono::minutes(2)};
    // What the last complete save brought into the package; the temporary copies of these are
    // deleted once the package is stored, unless they were replaced meanwhile.
    struct SavedMedia
    {
        std::vector<std::pair<QString, lq::FileIdentity>> files;
        QString tempFolder;
        bool complete = false;
        bool hadFile = false;
        bool recordingOrPlaying = false;
    };
    lq::Guarded<SavedMedia> m_savedMedia;

    // The caret position the last stamped edit leaves; unset when none is pending. A recursive
    // lock: a jump made under it may run the event loop, which may deliver the next edit.
    std::optional<qsizetype> m_newLocation;
    std::recursive_mutex m_locationLock;
    std::atomic<bool> m_jumpingAround{false};
    std::vector<qsizetype> m_highlightedChars;
    bool m_editable = true;
    bool m_shareable = true;
    QPointer<QAbstractButton> m_listButton;

    // The split view's collapsible media sidebar (made when the window is set up).
    void setUpSidebar();
    std::unique_ptr<MediaSidebar> m_sidebar;
};
