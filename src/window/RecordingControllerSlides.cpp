// The slides pane: which slide is shown, navigation, undo, adding and removing slides.
#include "document/MyDocument.h"
#include "document/NoteMediaCommands.h"
#include "model/WrenRecording.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UndoManager.h"
#include "platform/ui/AlertPresenter.h"
#include "platform/ui/HelpBook.h"
#include "platform/ui/ImageButton.h"
#include "shared/FileKinds.h"
#include "window/AspectPane.h"
#include "window/DocumentWindow.h"
#include "window/PDFMiniView.h"
#include "window/RecordingController.h"
#include "window/SlidesPages.h"

#include <QLabel>
#include <QLineEdit>

namespace {

const QString kHelpPage = QStringLiteral("recordingslides.html");

void showSlideButton(lq::ImageButton &button, const QString &image, bool enabled)
{
    button.setEnabled(enabled);
    button.setImages(enabled ? image : image + QStringLiteral("-disabled"));
}

} // namespace

QString RecordingController::slidesPath() const
{
    const std::lock_guard lock(m_slidesPathMutex);
    return m_slidesPath;
}

void RecordingController::setSlidesPath(const QString &path)
{
    const std::lock_guard lock(m_slidesPathMutex);
    m_slideNum.store(0);
    m_slidesPath = path;
}

void RecordingController::gotoSlide(uint32_t slide, bool recordUndo)
{
    showSlide(slide, recordUndo);
}

bool RecordingController::showSlide(uint32_t n, bool recordUndo)
{
    if (!lq::isMainThread()) {
        lq::postToMainThread(this, [this, n, recordUndo] { showSlide(n, recordUndo); });
        return false;
    }
    const std::lock_guard lock(m_slidesMutex);
    const QString path = slidesPath();
    if (path.isEmpty() || n == m_slideNum.load())
        return false;
    if (m_slideNum.load() == 0 && !loadSlides(path))
        return false;
    // A refused change leaves no undo step behind.
    if (n == 0 || n > static_cast<uint32_t>(m_pdfDoc->pageCount()))
        return false;
    const uint32_t shown = m_slideNum.load();
    if (recordUndo && n != shown) {
        if (lq::UndoManager *undo = m_document.undoManager()) {
            undo->setActionName(tr("Change Slide"));
            undo->registerUndo(this, [this, shown] { showSlide(shown); });
        }
    }
    displaySlide(n);
    return true;
}

bool RecordingController::loadSlides(const QString &path)
{
    lq::Error error;
    std::shared_ptr<SlidesPages> pages = SlidesPages::open(path, &error);
    // A PDF without pages has no slide to show.
    if (!pages || pages->pageCount() == 0) {
        // One alert at a time: a slide change asked for while it is up fails quietly.
        if (m_slidesAlertShowing)
            return false;
        m_slidesAlertShowing = true;
        lq::AlertRequest alert;
        alert.messageText = tr("Error initializing slides.");
        alert.informativeText = tr("The slides are missing or corrupt. Please re-add the slides "
                                   "if you still have the original.");
        lq::AlertPresenter::current().runModal(alert);
        m_slidesAlertShowing = false;
        return false;
    }
    m_pdfDoc = std::move(pages);
    DocumentWindow &w = *m_window;
    w.slidesPDFMiniView->setDocument(m_pdfDoc);
    m_slidesPDFView->setDocument(m_pdfDoc);
    w.slidesPDFMiniView->show();
    const QSizeF firstPage = m_pdfDoc->pageSize(0);
    w.slidesPane->setAspectRatio(firstPage.width() / firstPage.height());
    m_slideNum.store(1);
    w.totalSlidesField->show();
    return true;
}

void RecordingController::displaySlide(uint32_t n)
{
    DocumentWindow &w = *m_window;
    const int count = m_pdfDoc->pageCount();
    m_slideNum.store(n);
    w.slidesPDFMiniView->goToPage(static_cast<int>(n) - 1);
    m_slidesPDFView->goToPage(static_cast<int>(n) - 1);
    w.totalSlidesField->setText(tr("Slide %1 of %2").arg(n).arg(count));
    enableSlideButtons(n >= 2, n < static_cast<uint32_t>(count));
}

void RecordingController::enableSlideButtons(bool previous, bool next)
{
    showSlideButton(*m_window->prevSlideButton, QStringLiteral("previous-slide"), previous);
    showSlideButton(*m_window->nextSlideButton, QStringLiteral("next-slide"), next);
}

void RecordingController::tellNoteOfSlide()
{
    if (m_noteCommands)
        m_noteCommands->gotoSlide(m_slideNum.load());
}

bool RecordingController::chooseSlide(uint32_t n)
{
    if (!showSlide(n))
        return false;
    tellNoteOfSlide();
    return true;
}

void RecordingController::prevSlideButtonPressed()
{
    const uint32_t shown = m_slideNum.load();
    if (shown > 1)
        chooseSlide(shown - 1);
}

void RecordingController::nextSlideButtonPressed()
{
    chooseSlide(m_slideNum.load() + 1);
}

void RecordingController::slideChanged(PdfView *view, int page)
{
    if (!view->document() || page < 0)
        return;
    chooseSlide(static_cast<uint32_t>(page) + 1);
}

void RecordingController::slideNumFieldChanged()
{
    QLineEdit &field = *m_window->slideNumField;
    bool isNumber = false;
    const qlonglong wanted = field.text().trimmed().toLongLong(&isNumber);
    field.clear();
    // Zero, negative and too large numbers are refused before they reach a slide number.
    if (!isNumber || wanted < 1 || wanted > m_window->slidesPDFMiniView->pageCount() ||
        static_cast<uint32_t>(wanted) == m_slideNum.load())
        return;
    chooseSlide(static_cast<uint32_t>(wanted));
}

void RecordingController::addPath(const QString &path)
{
    if (isSlidesFile(path))
        addSlides(path);
    else if (isQTFile(path) && m_noteCommands)
        m_noteCommands->importMediaFromFile(path);
}

void RecordingController::addSlides(const QString &path)
{
    if (isSlidesFile(path)) {
        if (m_noteCommands) {
            m_noteCommands->addSlides(path);
            // Slides added while recording are stamped at once.
            if (m_document.recordingObject().recording() && m_slideNum.load() != 0)
                tellNoteOfSlide();
        }
        return;
    }
    lq::AlertRequest alert;
    alert.messageText = tr("I'm sorry, but Luma Quill can only import PDF slides.");
    alert.informativeText = tr("For information on importing slides that are not already in the "
                               "PDF format, click Help below.");
    alert.buttons = {tr("OK"), tr("Help")};
    if (lq::AlertPresenter::current().runModal(alert).buttonIndex == 1)
        lq::HelpBook::current().openPage(kHelpPage);
}

void RecordingController::removeSlidesFile()
{
    const std::lock_guard lock(m_slidesMutex);
    setSlidesPath(QString());
    DocumentWindow &w = *m_window;
    w.slideNumField->clear();
    w.totalSlidesField->hide();
    enableSlideButtons(false, false);
    m_slidesPDFView->setDocument(nullptr);
    w.slidesPDFMiniView->hide();
    w.slidesPDFMiniView->setDocument(nullptr);
    m_pdfDoc.reset();
}
