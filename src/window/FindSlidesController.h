#pragma once

#include "window/SlidesSearch.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class MyDocument;
class PdfView;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedLayout;
class SlidesPages;

// The program's one window for finding text in the slides of a note: it counts the occurrences
// of the typed text (case-insensitive), shows the slide of the first, next or previous one with
// the match marked, and Go shows that slide in the note's window. It follows the note it
// searches: reloading when its slides change, letting go of it when it closes.
class FindSlidesController : public QWidget
{
    Q_OBJECT
public:
    // The note the program deems current (the active window's); null for none.
    using CurrentDocument = std::function<MyDocument *()>;

    explicit FindSlidesController(CurrentDocument currentDocument, QWidget *parent = nullptr);
    ~FindSlidesController() override;

    // The program's window, made on first use and deleted as the application quits.
    static FindSlidesController &sharedController();
    // Where the shared window finds the current note; start-up sets it.
    static void setSharedCurrentDocument(CurrentDocument currentDocument);

    // Shows the window, searching sender's slides when it is another note than the one searched.
    void showWindow(MyDocument *sender);

    // The note searched; null for none.
    MyDocument *currentDoc() const;
    // Searches document's slides, or the current note's with null; false without slides.
    bool openDocument(MyDocument *document);
    bool loadSlides();
    void reset();
    // Every edit of the search text, and after loading: counts and shows the first match.
    void findTextChanged();
    void nextButtonPressed();
    void prevButtonPressed();
    // Shows the slide in view in the note's window, as the user's own turn, and hides this one.
    void goButtonPressed();

    QLineEdit *findTextField = nullptr;
    PdfView *slidesView = nullptr;
    QWidget *noTextView = nullptr;
    QLabel *foundTextField = nullptr;
    QPushButton *goButton = nullptr;
    QPushButton *nextButton = nullptr;
    QPushButton *prevButton = nullptr;

private:
    void observeNotes();
    void setCurrentDoc(MyDocument *document);
    void enableButtons(bool go, bool stepping);
    void firstMatchFound(const SlidesSearch::Match &match);
    void searchFinished(const std::vector<SlidesSearch::Match> &matches);
    void findNext(bool backwards);
    void showMatch(const SlidesSearch::Match &match);
    void showNoMatch();

    CurrentDocument m_currentDocumentOf;
    QPointer<MyDocument> m_currentDoc;
    // The searched note as its notifications name it; compared, never followed.
    const void *m_currentDocAsSender = nullptr;
    const void *m_currentDocAsOwner = nullptr;
    std::shared_ptr<SlidesPages> m_pdfDoc;
    QString m_findString;
    SlidesSearch m_search;
    std::vector<SlidesSearch::Match> m_matches;
    // Index of the match shown; -1 for none.
    int m_found = -1;
    bool m_located = false;
    QStackedLayout *m_slidesStack = nullptr;
};
