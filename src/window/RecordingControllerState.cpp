// The window state kept with a note, and the media check boxes it holds.
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/WindowFrameString.h"
#include "preferences/PrefsController.h"
#include "shared/WindowFitting.h"
#include "window/DocumentWindow.h"
#include "window/PromotedWindow.h"
#include "window/RecordingController.h"
#include "window/SidebarSection.h"

#include <QCheckBox>

#include <optional>

namespace {

const QString kAudioCheckBoxState = QStringLiteral("audioCheckBoxState");
const QString kVideoCheckBoxState = QStringLiteral("videoCheckBoxState");
const QString kAudioSectionState = QStringLiteral("audioSectionState");
const QString kVideoSectionState = QStringLiteral("videoSectionState");
const QString kSlidesSectionState = QStringLiteral("slidesSectionState");
const QString kVideoFrameState = QStringLiteral("videoFrameState");
const QString kSlidesFrameState = QStringLiteral("slidesFrameState");

// A check box state as stored: 0 off, 1 on, -1 mixed.
int storedState(const QCheckBox &box)
{
    switch (box.checkState()) {
    case Qt::Unchecked:
        return 0;
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        break;
    }
    return -1;
}

void setStoredState(QCheckBox &box, int state)
{
    box.setCheckState(state == 0 ? Qt::Unchecked : state == 1 ? Qt::Checked : Qt::PartiallyChecked);
}

// A stored number or boolean; none when missing or of another kind.
std::optional<int64_t> integerForKey(const lq::ArchiveDictionary &state, const QString &key)
{
    const lq::ArchiveValue *value = lq::valueForKey(state, key);
    if (!value)
        return std::nullopt;
    if (value->kind() == lq::ArchiveValue::Kind::Bool)
        return value->toBool() ? 1 : 0;
    if (value->isNumber())
        return value->toInteger();
    return std::nullopt;
}

// A promoted window's frame as stored: four numbers while it shows, none when it does not.
lq::ArchiveValue frameState(const PromotedWindow &window)
{
    lq::ArchiveArray numbers;
    if (window.isVisible()) {
        for (const double number : lq::storedWindowFrame(&window))
            numbers.append(lq::ArchiveValue::real(number));
    }
    return lq::ArchiveValue::array(numbers);
}

// The numbers of a stored frame; fewer than four (or none) when it holds no frame.
QList<double> framesForKey(const lq::ArchiveDictionary &state, const QString &key)
{
    const lq::ArchiveValue *value = lq::valueForKey(state, key);
    QList<double> numbers;
    if (!value || value->kind() != lq::ArchiveValue::Kind::Array)
        return numbers;
    for (const lq::ArchiveValue &number : value->toArray()) {
        if (!number.isNumber())
            return {};
        numbers.append(number.kind() == lq::ArchiveValue::Kind::Real ? number.toReal()
                                                                     : double(number.toInteger()));
    }
    return numbers;
}

} // namespace

lq::ArchiveDictionary RecordingController::currentState() const
{
    const DocumentWindow &w = *m_window;
    lq::ArchiveDictionary state{
        {lq::ArchiveValue::string(kAudioCheckBoxState),
         lq::ArchiveValue::integer(storedState(*w.audioCheckBox))},
        {lq::ArchiveValue::string(kVideoCheckBoxState),
         lq::ArchiveValue::integer(storedState(*w.videoCheckBox))},
        {lq::ArchiveValue::string(kAudioSectionState),
         lq::ArchiveValue::boolean(w.audioSectionView->expanded())},
        {lq::ArchiveValue::string(kVideoSectionState),
         lq::ArchiveValue::boolean(w.videoSectionView->expanded())},
        {lq::ArchiveValue::string(kSlidesSectionState),
         lq::ArchiveValue::boolean(w.slidesSectionView->expanded())},
    };
    state.append(currentStateForDefault());
    return state;
}

lq::ArchiveDictionary RecordingController::currentStateForDefault() const
{
    return {
        {lq::ArchiveValue::string(kVideoFrameState), frameState(*m_videoWindow)},
        {lq::ArchiveValue::string(kSlidesFrameState), frameState(*m_slidesWindow)},
    };
}

void RecordingController::setState(const lq::ArchiveDictionary &state)
{
    DocumentWindow &w = *m_window;
    if (const std::optional<int64_t> box = integerForKey(state, kAudioCheckBoxState))
        setAudioState(static_cast<int>(*box));
    if (const std::optional<int64_t> expanded = integerForKey(state, kAudioSectionState))
        w.audioSectionView->setExpanded(*expanded != 0);
    if (const std::optional<int64_t> box = integerForKey(state, kVideoCheckBoxState))
        setVideoState(static_cast<int>(*box));
    if (const std::optional<int64_t> expanded = integerForKey(state, kVideoSectionState))
        w.videoSectionView->setExpanded(*expanded != 0);
    if (const std::optional<int64_t> expanded = integerForKey(state, kSlidesSectionState))
        w.slidesSectionView->setExpanded(*expanded != 0);
    const QList<double> slidesFrame = framesForKey(state, kSlidesFrameState);
    if (lq::setStoredWindowFrame(m_slidesWindow.get(), slidesFrame)) {
        fitWindowInScreen(m_slidesWindow.get());
        promoteSlidesToWindow();
    }
    const QList<double> videoFrame = framesForKey(state, kVideoFrameState);
    if (videoFrame.size() >= 4) {
        moveVideoToWindowAndShow(false);
        if (lq::setStoredWindowFrame(m_videoWindow.get(), videoFrame)) {
            fitWindowInScreen(m_videoWindow.get());
            moveVideoToWindowAndShow(true);
        }
    }
}

void RecordingController::setAudioState(int state)
{
    setStoredState(*m_window->audioCheckBox, state);
    mediaCheckBoxPressed(*m_window->audioCheckBox, *m_window->audioSectionView,
                         QStringLiteral("autoExpandAudio"));
}

void RecordingController::setVideoState(int state)
{
    setStoredState(*m_window->videoCheckBox, state);
    mediaCheckBoxPressed(*m_window->videoCheckBox, *m_window->videoSectionView,
                         QStringLiteral("autoExpandVideo"));
}

void RecordingController::mediaCheckBoxPressed(QCheckBox &box, SidebarSection &section,
                                               const QString &autoExpandKey)
{
    const lq::UserDefaults &defaults = lq::UserDefaults::standard();
    if (defaults.contains(autoExpandKey) && !defaults.boolForKey(autoExpandKey))
        return;
    section.setExpanded(box.checkState() == Qt::Checked, false);
}

void RecordingController::qtDevicesChanged()
{
    DocumentWindow &w = *m_window;
    if (m_preferences.selectedAudioDeviceName().isNull() &&
        w.audioCheckBox->checkState() == Qt::Checked) {
        setAudioState(0);
    }
    if (m_preferences.selectedVideoDeviceName().isNull() &&
        w.videoCheckBox->checkState() == Qt::Checked) {
        setVideoState(0);
    }
}
