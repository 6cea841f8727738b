// The edit lock: whether the text may be edited during playback, and the strip above the text
// that shows it while playback runs.
#include "document/DocumentWindowController.h"
#include "document/MyDocument.h"
#include "platform/ui/NamedImages.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QIcon>

namespace {

// The dynamic property of the lock button that holds its image name.
constexpr char kImageProperty[] = "imageName";

struct LockLook
{
    const char *image;
    const char *caption;
    const char *toolTip;
};

constexpr LockLook kLocked{
    "lock-closed", QT_TRANSLATE_NOOP("MyDocument", "Unlock to modify text"),
    QT_TRANSLATE_NOOP("MyDocument",
                      "The document is currently locked for editing during playback. The text "
                      "above can be used for jumping around the recording, but cannot be edited. "
                      "Click the lock to unlock the document and allow editing.")};
constexpr LockLook kUnlocked{
    "lock-open", QT_TRANSLATE_NOOP("MyDocument", "Lock text to navigate"),
    QT_TRANSLATE_NOOP("MyDocument",
                      "The document is currently unlocked for editing during playback. If you "
                      "lock it by clicking the lock, the text above can be used for jumping "
                      "around the recording, but cannot be edited.")};

void showLook(const DocumentWindowOutlets &outlets, const LockLook &look)
{
    const QString toolTip = QCoreApplication::translate("MyDocument", look.toolTip);
    if (QAbstractButton *lock = outlets.editLockButton) {
        lock->setProperty(kImageProperty, QLatin1String(look.image));
        lock->setIcon(QIcon(lq::namedImage(QLatin1String(look.image), lock->devicePixelRatioF())));
        lock->setToolTip(toolTip);
    }
    if (QAbstractButton *caption = outlets.editLockText) {
        caption->setText(QCoreApplication::translate("MyDocument", look.caption));
        caption->setToolTip(toolTip);
    }
}

} // namespace

void MyDocument::setPlaybackMode(int32_t mode)
{
    if (mode != kLockedMode && mode != kUnlockedMode)
        return;
    playbackMode = mode;
    if (m_windowController)
        showLook(m_windowController->outlets(), mode == kLockedMode ? kLocked : kUnlocked);
    if (mode == kUnlockedMode)
        setEditable(true);
    else if (playing)
        setEditable(false);
}

void MyDocument::editLockClicked()
{
    if (playbackMode == kLockedMode)
        setPlaybackMode(kUnlockedMode);
    else if (playbackMode == kUnlockedMode)
        setPlaybackMode(kLockedMode);
}

void MyDocument::showEditLockView()
{
    setPlaybackMode(playbackMode);
    // The strip sits in the text area's layout above the text, which makes room for it.
    if (m_windowController && m_windowController->outlets().editLockView)
        m_windowController->outlets().editLockView->show();
}

void MyDocument::hideEditLockView()
{
    if (m_windowController && m_windowController->outlets().editLockView)
        m_windowController->outlets().editLockView->hide();
}
