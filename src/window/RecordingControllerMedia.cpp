// The media sections of the sidebar: opening and shutting them, and where the video view goes.
#include "platform/media/NaturalSizeHolder.h"
#include "platform/ui/ImageButton.h"
#include "window/AspectPane.h"
#include "window/DocumentWindow.h"
#include "window/DragFileView.h"
#include "window/MiniViewActions.h"
#include "window/PDFMiniView.h"
#include "window/PromotedWindow.h"
#include "window/RecordingController.h"
#include "window/SidebarSection.h"

#include <QLayout>
#include <QLineEdit>
#include <QToolButton>

namespace {

QList<QWidget *> subviews(const QWidget &area)
{
    return area.findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
}

} // namespace

void RecordingController::wireSlidesAndMedia()
{
    DocumentWindow &w = *m_window;
    for (SidebarSection *section : {w.audioSectionView, w.videoSectionView, w.slidesSectionView})
        section->setController(this);
    w.slidesDropTarget->setController(this);
    connect(w.audioSectionView, &SidebarSection::disclosurePressed, this,
            &RecordingController::audioDisclosurePressed);
    connect(w.videoSectionView, &SidebarSection::disclosurePressed, this,
            &RecordingController::videoDisclosurePressed);
    connect(w.slidesSectionView, &SidebarSection::disclosurePressed, this,
            &RecordingController::slidesDisclosurePressed);
    connect(w.prevSlideButton, &QAbstractButton::clicked, this,
            &RecordingController::prevSlideButtonPressed);
    connect(w.nextSlideButton, &QAbstractButton::clicked, this,
            &RecordingController::nextSlideButtonPressed);
    connect(w.slideNumField, &QLineEdit::returnPressed, this,
            &RecordingController::slideNumFieldChanged);
    // The views send pageChanged for the user's paging only, so a turn made here never echoes.
    for (PdfView *view : {static_cast<PdfView *>(w.slidesPDFMiniView), m_slidesPDFView}) {
        connect(view, &PdfView::pageChanged, this,
                [this, view](int page) { slideChanged(view, page); });
    }
    w.slidesPDFMiniView->setController(this);
    enableSlideButtons(false, false);
}

void RecordingController::expandAudioSection()
{
    m_window->audioSectionView->setExpanded(true);
}

void RecordingController::expandVideoSection()
{
    onGuiThread([this] { m_window->videoSectionView->setExpanded(true); });
}

void RecordingController::expandSlidesSection()
{
    onGuiThread([this] { m_window->slidesSectionView->setExpanded(true, false); });
}

void RecordingController::audioDisclosurePressed(bool on)
{
    m_window->audioSectionView->setExpanded(on, false);
}

void RecordingController::slidesDisclosurePressed(bool on)
{
    m_window->slidesSectionView->setExpanded(on, false);
}

void RecordingController::videoDisclosurePressed(bool on)
{
    if (!on) {
        // A shut section holds no video: it waits in the hidden video window.
        if (m_videoWindow->contentSubviews().isEmpty())
            moveVideoToWindowAndShow(false);
        m_window->videoSectionView->setExpanded(false, false);
        return;
    }
    m_window->videoSectionView->setExpanded(true, false);
    if (!m_videoWindow->isVisible() && !m_videoWindow->isMinimized())
        windowClosing(m_videoWindow.get());
}

void RecordingController::setVideoView(QWidget *view)
{
    onGuiThread([this, guarded = QPointer<QWidget>(view), isNull = view == nullptr] {
        // A view deleted before this ran is not placed.
        if (isNull || guarded)
            setVideoView(guarded.data(), false);
    });
}

void RecordingController::setVideoView(QWidget *view, bool closing)
{
    QWidget &area = *m_window->videoDisplayView;
    for (QWidget *other : subviews(area)) {
        if (other != view) {
            other->hide();
            other->setParent(nullptr);
        }
    }
    if (view) {
        view->setParent(&area);
        area.layout()->addWidget(view);
        if (auto *actions = dynamic_cast<MiniViewActions *>(view))
            actions->setController(this);
        // The pane takes the video's proportions when they are known.
        const auto *holder = dynamic_cast<const lq::NaturalSizeSource *>(view);
        const std::optional<QSizeF> natural = holder ? holder->naturalSize() : std::nullopt;
        if (auto *pane = qobject_cast<AspectPane *>(&area); pane && natural)
            pane->setAspectRatio(natural->width() / natural->height());
        view->show();
    }
    if (!closing && (m_videoWindow->isVisible() || m_videoWindow->isMinimized()))
        moveVideoToWindowAndShow(false);
    else if (!m_window->videoSectionView->disclosureButton()->isChecked())
        moveVideoToWindowAndShow(false);
}
