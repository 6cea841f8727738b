// The slides and the video promoted into windows of their own, their View menu items and zoom.
#include "platform/media/NaturalSizeHolder.h"
#include "platform/ui/Beeper.h"
#include "platform/ui/MainMenu.h"
#include "shared/MenuTitles.h"
#include "window/AspectRatioSource.h"
#include "window/DocumentWindow.h"
#include "window/PdfView.h"
#include "window/PromotedWindow.h"
#include "window/RecordingController.h"
#include "window/WindowZoom.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QScreen>

namespace {

using namespace Qt::StringLiterals;

const QString kViewMenu = u"View"_s;
const QString kFontMenu = u"Font"_s;
const QString kSmaller = u"Smaller"_s;
const QString kPromoteSlides = u"Promote Slides to Window"_s;
const QString kCloseSlides = u"Close Slides Window"_s;
const QString kPromoteVideo = u"Promote Video to Window"_s;
const QString kCloseVideo = u"Close Video Window"_s;
const QString kZoomIn = u"Zoom In"_s;
const QString kZoomOut = u"Zoom Out"_s;
const QString kZoomToActualSize = u"Zoom to Actual Size"_s;
const char *const kControllerProperty = "lqRecordingController";

QMenu *mainMenuTitled(const QString &title)
{
    const lq::MainMenu *menu = lq::MainMenu::current();
    return menu ? menu->menuTitled(title) : nullptr;
}

QAction *itemTitled(const QMenu *menu, const QString &title)
{
    if (!menu)
        return nullptr;
    for (QAction *item : menu->actions()) {
        if (lq::MainMenu::plainTitle(item->text()) == title)
            return item;
    }
    return nullptr;
}

void bringToFront(QWidget &window)
{
    window.show();
    window.raise();
    window.activateWindow();
}

// The largest content size the window can take on its screen; none without a screen.
std::optional<QSizeF> largestContentSize(const PromotedWindow &window)
{
    const QScreen *screen = window.screen();
    if (!screen)
        return std::nullopt;
    const QSize frameExtra = window.frameGeometry().size() - window.geometry().size();
    const QSize chrome = window.size() - window.contentSize();
    return QSizeF(screen->availableGeometry().size() - frameExtra - chrome);
}

// The natural size of the video in the window, when its view knows it.
std::optional<QSizeF> naturalSizeOf(const PromotedWindow &window)
{
    const QList<QWidget *> views = window.contentSubviews();
    const auto *holder =
        views.isEmpty() ? nullptr : dynamic_cast<const lq::NaturalSizeSource *>(views.first());
    return holder ? holder->naturalSize() : std::nullopt;
}

// The proportions a zoomed video window keeps: its view's own answer when it gives one,
// otherwise those of the video's natural size.
std::optional<double> aspectRatioOf(const PromotedWindow &window)
{
    const QList<QWidget *> views = window.contentSubviews();
    if (const auto *view =
            views.isEmpty() ? nullptr : dynamic_cast<const AspectRatioSource *>(views.first()))
        return view->aspectRatio();
    const std::optional<QSizeF> natural = naturalSizeOf(window);
    return natural ? std::optional(natural->width() / natural->height()) : std::nullopt;
}

// Adds the View menu's promote items once for all windows; each acts for the active window.
void addPromoteItems()
{
    lq::MainMenu *mainMenu = lq::MainMenu::current();
    if (!mainMenu)
        return;
    QMenu *view = mainMenu->menuTitled(kViewMenu);
    if (!view)
        view = mainMenu->addMenu(kViewMenu);
    // Validated by the active window's controller when the menu shows and again when it fires.
    const auto answers = [](const QAction *action) {
        const RecordingController *controller = RecordingController::controllerOfWindow(nullptr);
        return controller && controller->validateUserInterfaceItem(action);
    };
    const auto add = [view, answers](const QString &promote, const QString &close,
                                     const QString &name, void (RecordingController::*selected)()) {
        if (itemTitled(view, promote) || itemTitled(view, close))
            return;
        QAction *action = view->addAction(promote);
        action->setObjectName(name);
        QObject::connect(action, &QAction::triggered, view, [action, answers, selected] {
            if (answers(action))
                (RecordingController::controllerOfWindow(nullptr)->*selected)();
        });
        QObject::connect(view, &QMenu::aboutToShow, action,
                         [action, answers] { action->setEnabled(answers(action)); });
        QObject::connect(view, &QMenu::aboutToHide, action, [action] { action->setEnabled(true); });
    };
    add(kPromoteSlides, kCloseSlides, QStringLiteral("slidesMenuItemSelected"),
        &RecordingController::slidesMenuItemSelected);
    add(kPromoteVideo, kCloseVideo, QStringLiteral("videoMenuItemSelected"),
        &RecordingController::videoMenuItemSelected);
}

} // namespace

void RecordingController::buildPromotedWindows()
{
    addPromoteItems();
    m_slidesWindow = std::make_unique<PromotedWindow>(tr("Slides"));
    m_videoWindow = std::make_unique<PromotedWindow>(tr("Video"));
    m_slidesPDFView = new PdfView;
    m_slidesWindow->setContentSubview(m_slidesPDFView);
    for (QWidget *window :
         {static_cast<QWidget *>(m_window.get()), static_cast<QWidget *>(m_slidesWindow.get()),
          static_cast<QWidget *>(m_videoWindow.get())}) {
        window->setProperty(kControllerProperty, QVariant::fromValue<QObject *>(this));
    }
    for (PromotedWindow *window : {m_slidesWindow.get(), m_videoWindow.get()}) {
        connect(window, &PromotedWindow::willClose, this, &RecordingController::windowClosing);
        connect(window, &PromotedWindow::keyChanged, this, &RecordingController::windowKeyChanged);
    }
}

void RecordingController::closePromotedWindows()
{
    removeZoomItems();
    m_slidesWindow->close();
    m_videoWindow->close();
}

RecordingController *RecordingController::controllerOfWindow(QWidget *widget)
{
    QWidget *window = widget ? widget->window() : QApplication::activeWindow();
    if (!window)
        return nullptr;
    return qobject_cast<RecordingController *>(
        window->property(kControllerProperty).value<QObject *>());
}

void RecordingController::moveVideoToWindowAndShow(bool show)
{
    const QList<QWidget *> views =
        m_window->videoDisplayView->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    if (views.size() == 1) {
        QWidget *view = views.first();
        m_videoWindow->setContentSubview(view);
        view->setToolTip(QString());
    }
    if (show) {
        bringToFront(*m_videoWindow);
        switchMenuTitle(kViewMenu, kPromoteVideo, kCloseVideo);
    }
}

void RecordingController::promoteSlidesToWindow()
{
    switchMenuTitle(kViewMenu, kPromoteSlides, kCloseSlides);
    bringToFront(*m_slidesWindow);
}

void RecordingController::slidesMenuItemSelected()
{
    const QMenu *view = mainMenuTitled(kViewMenu);
    if (!view) {
        lq::beep();
        return;
    }
    if (itemTitled(view, kPromoteSlides))
        promoteSlidesToWindow();
    else
        m_slidesWindow->close();
}

void RecordingController::videoMenuItemSelected()
{
    const QMenu *view = mainMenuTitled(kViewMenu);
    if (!view) {
        lq::beep();
        return;
    }
    if (itemTitled(view, kPromoteVideo))
        moveVideoToWindowAndShow(true);
    else
        m_videoWindow->close();
}

void RecordingController::windowClosing(PromotedWindow *window)
{
    if (window == m_videoWindow.get()) {
        const QList<QWidget *> views = m_videoWindow->contentSubviews();
        if (views.size() == 1) {
            QWidget *view = views.first();
            setVideoView(view, true);
            view->setToolTip(tr("Double-click to promote Video to its own window."));
        }
        switchMenuTitle(kViewMenu, kCloseVideo, kPromoteVideo);
    } else if (window == m_slidesWindow.get()) {
        switchMenuTitle(kViewMenu, kCloseSlides, kPromoteSlides);
    }
}

void RecordingController::windowKeyChanged(PromotedWindow *window, bool key)
{
    if (window != m_slidesWindow.get() && window != m_videoWindow.get())
        return;
    if (key)
        addZoomItems(window);
    else
        removeZoomItems();
}

void RecordingController::addZoomItems(PromotedWindow *window)
{
    // Becoming active twice in a row leaves one set of items.
    removeZoomItems();
    // Two actions with one shortcut would fire neither.
    if (QAction *smaller = itemTitled(mainMenuTitled(kFontMenu), kSmaller))
        smaller->setShortcut(QKeySequence());
    QMenu *view = mainMenuTitled(kViewMenu);
    if (!view)
        return;
    const bool slides = window == m_slidesWindow.get();
    const auto add = [&](const QString &title, QKeyCombination key,
                         void (RecordingController::*zoom)()) {
        QAction *item = view->addAction(title);
        item->setShortcut(QKeySequence(key));
        connect(item, &QAction::triggered, this, zoom);
        m_zoomItems.append(item);
    };
    add(kZoomIn, Qt::CTRL | Qt::Key_Equal,
        slides ? &RecordingController::zoomSlidesIn : &RecordingController::zoomVideoIn);
    add(kZoomOut, Qt::CTRL | Qt::Key_Minus,
        slides ? &RecordingController::zoomSlidesOut : &RecordingController::zoomVideoOut);
    if (!slides)
        add(kZoomToActualSize, Qt::CTRL | Qt::Key_1, &RecordingController::zoomVideoNatural);
}

void RecordingController::removeZoomItems()
{
    if (m_zoomItems.isEmpty())
        return;
    for (const QPointer<QAction> &item : std::as_const(m_zoomItems))
        delete item.data();
    m_zoomItems.clear();
    if (QAction *smaller = itemTitled(mainMenuTitled(kFontMenu), kSmaller))
        smaller->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
}

void RecordingController::zoomSlidesIn()
{
    zoomIn(*m_slidesWindow, true);
}

void RecordingController::zoomSlidesOut()
{
    zoomOut(*m_slidesWindow, true);
}

void RecordingController::zoomVideoIn()
{
    zoomIn(*m_videoWindow, false);
}

void RecordingController::zoomVideoOut()
{
    zoomOut(*m_videoWindow, false);
}

void RecordingController::zoomIn(PromotedWindow &window, bool slides)
{
    const std::optional<QSizeF> largest = largestContentSize(window);
    const window_zoom::ZoomIn zoom =
        window_zoom::zoomedIn(QSizeF(window.contentSize()), largest, slides, aspectRatioOf(window));
    const QRect visible = window.screen() ? window.screen()->availableGeometry() : QRect();
    const bool wasBeyondRight = window.frameGeometry().right() > visible.right();
    window.setContentSize(zoom.size.toSize());
    if (largest && !wasBeyondRight) {
        const int beyond = window.frameGeometry().right() - visible.right();
        if (beyond > 0)
            window.move(window.pos() - QPoint(beyond, 0));
    }
    if (!zoom.atLimit)
        return;
    if (slides) {
        m_slidesPDFView->zoomIn();
        ++m_slidesZoomLevel;
    } else {
        lq::beep();
    }
}

void RecordingController::zoomOut(PromotedWindow &window, bool slides)
{
    if (slides && m_slidesZoomLevel > 0) {
        m_slidesPDFView->zoomOut();
        if (--m_slidesZoomLevel == 0)
            window.setContentSize(m_slidesPDFView->rowSizeForPage(m_slidesPDFView->currentPage()));
        return;
    }
    const std::optional<QSizeF> wanted =
        window_zoom::zoomedOut(QSizeF(window.contentSize()), !slides);
    if (!wanted || (slides && !m_slidesPDFView->canZoomOut())) {
        lq::beep();
        return;
    }
    if (slides)
        m_slidesPDFView->setAutoScales(true);
    window.setContentSize(wanted->toSize());
}

void RecordingController::zoomVideoNatural()
{
    const std::optional<window_zoom::NaturalZoom> zoom = window_zoom::zoomedToNatural(
        naturalSizeOf(*m_videoWindow), largestContentSize(*m_videoWindow));
    // An unknown or empty natural size leaves the window as it is.
    if (!zoom) {
        lq::beep();
        return;
    }
    m_videoWindow->setContentSize(zoom->size.toSize());
    if (zoom->beep)
        lq::beep();
}
