#pragma once

#include "platform/foundation/Error.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class MyDocument;
class QWidget;

namespace lq {
class Document;
}

// The program's open documents, in the order they were added: notes and the short-lived import
// proxies. Opens files as the right kind of document, gives every note its window (with the
// main menu), replaces the untouched untitled note of the start when a file is opened, and sets
// the autosave delay of every document. Main thread only.
class LumaDocumentController final : public QObject
{
    Q_OBJECT
public:
    // Gives a new note its window controller (the window is not shown yet).
    using WindowMaker = std::function<void(MyDocument &note)>;
    // The opened document (null on failure), whether it was open already, and the error.
    using Completion =
        std::function<void(lq::Document *document, bool alreadyOpen, const lq::Error &error)>;

    static constexpr char kAutosavingDelayKey[] = "autoSavingDelay";

    explicit LumaDocumentController(WindowMaker makeWindow, QObject *parent = nullptr);
    ~LumaDocumentController() override;

    // The controller of the running program; null when there is none.
    static LumaDocumentController *shared();

    // Seconds between the first change and its autosave, from the user defaults: 900 unless
    // "autoSavingDelay" is a number, which counts as at least 60.
    static int autosavingDelayFromDefaults();

    std::vector<lq::Document *> documents() const;
    std::vector<MyDocument *> notes() const;
    // The open document whose file is path; null when there is none.
    lq::Document *documentForUrl(const QString &path) const;
    // The note whose window is window, or holds it; null when there is none.
    MyDocument *noteForWindow(const QWidget *window) const;
    // The note of the active window; null when none is active.
    MyDocument *currentNote() const;

    // Adds document, first closing the untouched untitled note of the start when document was
    // opened from a file (only the first document added can be replaced so).
    void addDocument(std::unique_ptr<lq::Document> document);
    // How a close treats unsaved changes: the document asks the user (or saves in place), or,
    // with nobody to ask (a quit by a signal), they are autosaved.
    enum class Asking { User, Nobody };
    // Closes document when it allows: false, after an alert, while it records, when the user
    // keeps it or when its unsaved changes cannot be kept.
    bool closeDocument(lq::Document *document, Asking asking = Asking::User);
    // Before quitting: refuses, after an alert, while any note records; otherwise closes every
    // document in turn and stops at the first that stays. True when all closed.
    bool closeAllDocuments(Asking asking = Asking::User);
    // Closes document on the next pass of the event loop (nothing when it is gone by then).
    void closeDocumentLater(lq::Document *document);
    // The user closes a note's window: as closeDocument, and lastNoteClosed when none is left.
    bool performClose(lq::Document *document);

    // A new note, added and, when display is set, shown; null after an alert when it cannot be
    // made.
    MyDocument *openUntitledDocumentAndDisplay(bool display);
    // Reopens the autosaved copy of an untitled note at path (left when the program last ended)
    // as an untitled note, edited, and shows it; null with error when it cannot be read.
    MyDocument *reopenAutosavedNote(const QString &path, lq::Error *error);
    // Opens path as its type wants; runs completion with the result, then, when searchText is
    // not empty and a note opened, searches the note for it.
    void openDocument(const QString &path, bool display, const Completion &completion,
                      const QString &searchText = {});
    // Opens every path, telling the user of each that fails.
    void openFiles(const QStringList &paths, const QString &searchText = {});

    // Shows a document's window and brings it to the front.
    void showDocument(lq::Document *document);

    // The alert of a note that refuses to close (or the program to quit) while it records.
    static void showRecordingRefusal();

Q_SIGNALS:
    // The user closed the last note's window.
    void lastNoteClosed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool closeUnasked(lq::Document *document);
    void replaceInitialDocument(const lq::Document &added);
    std::unique_ptr<lq::Document> takeDocument(lq::Document *document);
    void giveWindow(MyDocument &note);
    // The window of the last note before document (in the order they were added) that shows.
    const QWidget *lastShownWindowBefore(const lq::Document *document) const;
    // Adds note, gives it its window and, when display is set, shows it.
    MyDocument *addNote(std::unique_ptr<MyDocument> note, bool display);

    WindowMaker m_makeWindow;
    std::vector<std::unique_ptr<lq::Document>> m_documents;
    bool m_initialOpened = false;
    const lq::Document *m_initialDoc = nullptr;
};
