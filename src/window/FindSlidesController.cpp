#include "window/FindSlidesController.h"

#include "document/DocumentWindowController.h"
#include "document/MyDocument.h"
#include "model/WrenRecording.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "shared/WindowFitting.h"
#include "window/PdfView.h"
#include "window/RecordingController.h"
#include "window/SlidesPages.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace {

FindSlidesController *s_shared = nullptr;
FindSlidesController::CurrentDocument s_sharedCurrentDocument;

} // namespace

FindSlidesController::FindSlidesController(CurrentDocument currentDocument, QWidget *parent)
    : QWidget(parent, Qt::Window), m_currentDocumentOf(std::move(currentDocument))
{
    setWindowTitle(tr("Find in Slides"));
    findTextField = new QLineEdit(this);
    findTextField->setPlaceholderText(tr("Text to find in the slides"));
    findTextField->setClearButtonEnabled(true);
    foundTextField = new QLabel(this);
    foundTextField->hide();

    slidesView = new PdfView(this);
    noTextView = new QWidget(this);
    noTextView->setBackgroundRole(QPalette::Base);
    noTextView->setAutoFillBackground(true);
    auto *slides = new QWidget(this);
    m_slidesStack = new QStackedLayout(slides);
    m_slidesStack->addWidget(noTextView);
    m_slidesStack->addWidget(slidesView);
    slides->setMinimumSize(320, 240);

    prevButton = new QPushButton(tr("Previous"), this);
    nextButton = new QPushButton(tr("Next"), this);
    goButton = new QPushButton(tr("Go"), this);
    goButton->setToolTip(tr("Show this slide in the note's window"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(foundTextField, 1);
    buttons->addWidget(prevButton);
    buttons->addWidget(nextButton);
    buttons->addWidget(goButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(findTextField);
    layout->addWidget(slides, 1);
    layout->addLayout(buttons);
    enableButtons(false, false);

    connect(findTextField, &QLineEdit::textEdited, this, &FindSlidesController::findTextChanged);
    connect(nextButton, &QPushButton::clicked, this, &FindSlidesController::nextButtonPressed);
    connect(prevButton, &QPushButton::clicked, this, &FindSlidesController::prevButtonPressed);
    connect(goButton, &QPushButton::clicked, this, &FindSlidesController::goButtonPressed);
    connect(&m_search, &SlidesSearch::firstMatchFound, this,
            &FindSlidesController::firstMatchFound);
    connect(&m_search, &SlidesSearch::finished, this, &FindSlidesController::searchFinished);
    observeNotes();
}

FindSlidesController::~FindSlidesController()
{
    lq::NotificationCenter::defaultCenter().removeObserver(static_cast<const QObject *>(this));
    if (s_shared == this)
        s_shared = nullptr;
}

FindSlidesController &FindSlidesController::sharedController()
{
    if (!s_shared) {
        s_shared = new FindSlidesController(
            [] { return s_sharedCurrentDocument ? s_sharedCurrentDocument() : nullptr; });
        // Widgets must go before the application object does.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, s_shared, [] { delete s_shared; });
    }
    return *s_shared;
}

void FindSlidesController::setSharedCurrentDocument(CurrentDocument currentDocument)
{
    s_sharedCurrentDocument = std::move(currentDocument);
}

void FindSlidesController::observeNotes()
{
    // Both may come from any thread; the work is done on the main thread, where the searched
    // note is compared by the address the notification gives.
    lq::NotificationCenter &center = lq::NotificationCenter::defaultCenter();
    center.addObserver(static_cast<const QObject *>(this), QStringLiteral("slides_changed"),
                       nullptr, [this](const lq::Notification &notification) {
                           lq::postToMainThread(this, [this, owner = notification.sender] {
                               if (owner && owner == m_currentDocAsOwner) {
                                   loadSlides();
                                   findTextChanged();
                               }
                           });
                       });
    center.addObserver(static_cast<const QObject *>(this),
                       QLatin1String(MyDocument::kDocumentClosingNotification), nullptr,
                       [this](const lq::Notification &notification) {
                           lq::postToMainThread(this, [this, document = notification.sender] {
                               if (document && document == m_currentDocAsSender) {
                                   reset();
                                   openDocument(nullptr);
                                   findTextChanged();
                               }
                           });
                       });
}

void FindSlidesController::showWindow(MyDocument *sender)
{
    const bool load = sender && sender != m_currentDoc;
    if (!m_located) {
        const DocumentWindowController *controller = sender ? sender->windowController() : nullptr;
        fitWindowToDocument(this, controller ? controller->outlets().window : nullptr);
        m_located = true;
    }
    show();
    raise();
    activateWindow();
    if (load) {
        openDocument(sender);
        findTextChanged();
    }
}

MyDocument *FindSlidesController::currentDoc() const
{
    return m_currentDoc;
}

void FindSlidesController::setCurrentDoc(MyDocument *document)
{
    m_currentDoc = document;
    m_currentDocAsSender = document ? static_cast<const QObject *>(document) : nullptr;
    m_currentDocAsOwner = document ? static_cast<const RecordingOwner *>(document) : nullptr;
}

bool FindSlidesController::openDocument(MyDocument *document)
{
    if (!document && m_currentDocumentOf)
        document = m_currentDocumentOf();
    // A closed note is never searched again, whatever answers as current meanwhile.
    if (!document || document->isClosed())
        return false;
    setCurrentDoc(document);
    return loadSlides();
}

bool FindSlidesController::loadSlides()
{
    m_search.cancel();
    const WrenRecording *recording = m_currentDoc ? &m_currentDoc->recordingObject() : nullptr;
    const QString path =
        recording && recording->hasSlides() ? recording->slidesFileName() : QString();
    if (path.isEmpty()) {
        reset();
        return false;
    }
    lq::Error error;
    m_pdfDoc = SlidesPages::open(path, &error);
    m_findString.clear();
    m_matches.clear();
    m_found = -1;
    // Slides that cannot be read leave the view empty, not showing the ones searched before.
    slidesView->setDocument(m_pdfDoc);
    return m_pdfDoc != nullptr;
}

void FindSlidesController::reset()
{
    m_search.cancel();
    setCurrentDoc(nullptr);
    m_pdfDoc.reset();
    m_matches.clear();
    m_found = -1;
    foundTextField->hide();
    enableButtons(false, false);
    showNoMatch();
}

void FindSlidesController::enableButtons(bool go, bool stepping)
{
    goButton->setEnabled(go);
    nextButton->setEnabled(stepping);
    prevButton->setEnabled(stepping);
}

void FindSlidesController::findTextChanged()
{
    if (!m_pdfDoc) {
        foundTextField->hide();
        enableButtons(false, false);
        return;
    }
    const QString text = findTextField->text();
    if (text == m_findString && !text.isEmpty())
        return;
    m_findString = text;
    m_matches.clear();
    m_found = -1;
    foundTextField->hide();
    enableButtons(false, false);
    if (text.isEmpty()) {
        m_search.cancel();
        showNoMatch();
        return;
    }
    m_search.start(m_pdfDoc, text);
}

void FindSlidesController::firstMatchFound(const SlidesSearch::Match &match)
{
    m_matches = {match};
    m_found = 0;
    goButton->setEnabled(true);
    showMatch(match);
}

void FindSlidesController::searchFinished(const std::vector<SlidesSearch::Match> &matches)
{
    m_matches = matches;
    const auto count = matches.size();
    foundTextField->setText(
        tr("%1 occurrence%2 found").arg(count).arg(count == 1 ? QString() : QStringLiteral("s")));
    foundTextField->show();
    enableButtons(count >= 1, count >= 2);
    if (matches.empty())
        showNoMatch();
}

void FindSlidesController::nextButtonPressed()
{
    findNext(false);
}

void FindSlidesController::prevButtonPressed()
{
    findNext(true);
}

void FindSlidesController::findNext(bool backwards)
{
    if (!m_pdfDoc || m_matches.empty())
        return;
    const int count = static_cast<int>(m_matches.size());
    // Past either end the search wraps round.
    if (m_found < 0)
        m_found = backwards ? count - 1 : 0;
    else
        m_found = (m_found + (backwards ? count - 1 : 1)) % count;
    showMatch(m_matches[static_cast<size_t>(m_found)]);
}

void FindSlidesController::showMatch(const SlidesSearch::Match &match)
{
    if (slidesView->document() != m_pdfDoc)
        slidesView->setDocument(m_pdfDoc);
    slidesView->goToPage(match.page);
    slidesView->setHighlight({match.page, match.bounds});
    m_slidesStack->setCurrentWidget(slidesView);
}

void FindSlidesController::showNoMatch()
{
    slidesView->setDocument(nullptr);
    m_slidesStack->setCurrentWidget(noTextView);
}

void FindSlidesController::goButtonPressed()
{
    if (!m_pdfDoc || !m_currentDoc || !slidesView->document())
        return;
    auto *controller = dynamic_cast<RecordingController *>(m_currentDoc->windowController());
    if (!controller)
        return;
    controller->chooseSlide(static_cast<uint32_t>(slidesView->currentPage()) + 1);
    hide();
}
