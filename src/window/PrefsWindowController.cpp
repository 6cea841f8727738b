#include "window/PrefsWindowController.h"

#include "document/LQSharingController.h"
#include "shared/WindowFitting.h"
#include "window/GeneralPane.h"
#include "window/PlaybackPane.h"
#include "window/PreferencesIcons.h"
#include "window/RecordingPane.h"
#include "window/SavingPane.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QEventLoop>
#include <QPropertyAnimation>
#include <QShortcut>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kSwapMilliseconds = 200;
constexpr int kPaneMargin = 12;
constexpr QSize kToolbarIconSize(24, 24);

} // namespace

PrefsWindowController::PrefsWindowController(PrefsController &prefs, QObject *parent)
    : QObject(parent)
    , m_prefsWindow(std::make_unique<QWidget>())
    , m_toolbar(new QToolBar)
    , m_toolbarItems(new QActionGroup(this))
    , m_content(new QWidget)
{
    QWidget &window = *m_prefsWindow;
    window.setObjectName("prefsWindow");
    window.setWindowTitle(tr("Preferences"));
    auto *layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // The window's size is the toolbar's and the pane's, set by swapViewTo.
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    layout->addWidget(m_toolbar);
    layout->addWidget(m_content, 1);

    m_toolbar->setObjectName("toolbar");
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setIconSize(kToolbarIconSize);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    QAction *general =
        addToolbarItem("generalToolbarItem", tr("General"), preferences_icons::general(),
                       [this] { return m_generalView; });
    addToolbarItem("recordingToolbarItem", tr("Recording"), preferences_icons::recording(),
                   [this] { return m_recordingView; });
    addToolbarItem("playbackToolbarItem", tr("Playback"), preferences_icons::playback(), [this] {
        m_playbackView->fill();
        return m_playbackView;
    });
    addToolbarItem("savingToolbarItem", tr("Saving"), preferences_icons::saving(), [this] {
        m_savingView->fill();
        return m_savingView;
    });
    addToolbarItem("sharingToolbarItem", tr("Sharing"), preferences_icons::sharing(),
                   [this] { return sharingView(); });

    // Made after the toolbar, so that Tab goes from its items into the pane.
    m_generalView = new GeneralPane(prefs, m_content);
    m_recordingView = new RecordingPane(prefs, m_content);
    m_playbackView = new PlaybackPane(prefs, m_content);
    m_savingView = new SavingPane(prefs, m_content);
    for (QWidget *pane :
         {static_cast<QWidget *>(m_generalView), static_cast<QWidget *>(m_recordingView),
          static_cast<QWidget *>(m_playbackView), static_cast<QWidget *>(m_savingView)}) {
        preparePane(pane);
        m_paneWidth = std::max(m_paneWidth, pane->sizeHint().width());
    }

    for (const QKeySequence &key :
         {QKeySequence(Qt::Key_Escape), QKeySequence(QKeySequence::Close)})
        connect(new QShortcut(key, &window), &QShortcut::activated, this,
                &PrefsWindowController::hide);
    general->setChecked(true);
    swapViewTo(m_generalView);
}

PrefsWindowController::~PrefsWindowController() = default;

void PrefsWindowController::preparePane(QWidget *pane)
{
    pane->hide();
    pane->setParent(m_content);
    pane->setContentsMargins(kPaneMargin, kPaneMargin, kPaneMargin, kPaneMargin);
}

QWidget *PrefsWindowController::sharingView()
{
    if (!m_sharingView) {
        m_prefsSharingController = std::make_unique<LQSharingController>();
        m_sharingView = m_prefsSharingController->sharingPrefsView().release();
        preparePane(m_sharingView);
    }
    return m_sharingView;
}

QAction *PrefsWindowController::addToolbarItem(const char *name, const QString &title,
                                               const QIcon &icon,
                                               std::function<QWidget *()> prepare)
{
    QAction *item = m_toolbar->addAction(icon, title);
    item->setObjectName(name);
    item->setCheckable(true);
    m_toolbarItems->addAction(item);
    // Reached with Tab too; a toolbar's buttons take no focus by default.
    m_toolbar->widgetForAction(item)->setFocusPolicy(Qt::TabFocus);
    connect(item, &QAction::triggered, this,
            [this, prepare = std::move(prepare)] { swapViewTo(prepare()); });
    return item;
}

void PrefsWindowController::show()
{
    QWidget &window = *m_prefsWindow;
    if (!m_placed) {
        m_placed = true;
        fitWindowToDocument(&window, QApplication::activeWindow());
    }
    window.show();
    window.raise();
    window.activateWindow();
}

void PrefsWindowController::hide()
{
    m_prefsWindow->close();
}

void PrefsWindowController::swapViewTo(QWidget *pane)
{
    if (m_currentPane)
        m_currentPane->hide();
    m_currentPane = nullptr;
    if (!pane)
        return;
    const QSize size = paneSize(pane);
    resizeWindow(QSize(size.width(), m_toolbar->sizeHint().height() + size.height()));
    if (pane->parentWidget() != m_content)
        pane->setParent(m_content);
    pane->setGeometry(QRect(QPoint(), size));
    pane->show();
    m_currentPane = pane;
}

QSize PrefsWindowController::paneSize(QWidget *pane) const
{
    const int width = std::max(m_paneWidth, pane->sizeHint().width());
    const int height =
        pane->hasHeightForWidth() ? pane->heightForWidth(width) : pane->sizeHint().height();
    return QSize(width, height);
}

void PrefsWindowController::resizeWindow(const QSize &size)
{
    QWidget &window = *m_prefsWindow;
    window.setMinimumSize(0, 0);
    window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (window.isVisible() && window.size() != size) {
        // Only the size changes, so the top left corner stays where the window manager keeps
        // it; the user's input waits meanwhile.
        QPropertyAnimation resize(&window, "size");
        resize.setDuration(kSwapMilliseconds);
        resize.setEasingCurve(QEasingCurve::InQuad);
        resize.setEndValue(size);
        QEventLoop loop;
        connect(&resize, &QAbstractAnimation::finished, &loop, &QEventLoop::quit);
        resize.start();
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    window.setFixedSize(size);
}
