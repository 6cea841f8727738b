#pragma once

#include <QObject>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>

class GeneralPane;
class LQSharingController;
class PlaybackPane;
class PrefsController;
class QAction;
class QActionGroup;
class QIcon;
class QToolBar;
class QWidget;
class RecordingPane;
class SavingPane;

// The preferences window: a toolbar with an item for each pane, General, Recording, Playback,
// Saving and Sharing, and the pane chosen, swapped in with a short resize that keeps the window's
// top left corner. Made once; closing only hides it, and show brings it back with the pane last
// shown. GUI thread only.
class PrefsWindowController : public QObject
{
    Q_OBJECT
public:
    explicit PrefsWindowController(PrefsController &prefs, QObject *parent = nullptr);
    ~PrefsWindowController() override;

    // Makes the window active and brings it to the front; the first time it is centred over
    // the active window.
    void show();
    // Closes the window as its close button does.
    void hide();

    // Puts pane into the window in place of the one shown; none leaves the window empty. While
    // the window shows, the resize is animated, and this returns when it is done.
    void swapViewTo(QWidget *pane);

    QWidget *prefsWindow() const { return m_prefsWindow.get(); }
    QWidget *currentPane() const { return m_currentPane; }

private:
    // prepare readies the pane and answers it.
    QAction *addToolbarItem(const char *name, const QString &title, const QIcon &icon,
                            std::function<QWidget *()> prepare);
    void preparePane(QWidget *pane);
    QWidget *sharingView();
    QSize paneSize(QWidget *pane) const;
    void resizeWindow(const QSize &size);

    std::unique_ptr<QWidget> m_prefsWindow;
    QToolBar *m_toolbar;
    QActionGroup *m_toolbarItems;
    QWidget *m_content;
    GeneralPane *m_generalView;
    RecordingPane *m_recordingView;
    PlaybackPane *m_playbackView;
    SavingPane *m_savingView;
    // Made on the Sharing pane's first visit, with the pane it gives.
    std::unique_ptr<LQSharingController> m_prefsSharingController;
    QWidget *m_sharingView = nullptr;
    QWidget *m_currentPane = nullptr;
    int m_paneWidth = 0;
    bool m_placed = false;
};
