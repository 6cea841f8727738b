#include "window/RecordingPane.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "preferences/PrefsController.h"
#include "window/SettingCheckBox.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>

namespace {

constexpr int kIndent = 20;
// Device names can be long; the pane keeps its width and the pop-up list shows them whole.
constexpr int kPopUpCharacters = 30;

} // namespace

RecordingPane::RecordingPane(PrefsController &prefs, QWidget *parent)
    : QWidget(parent)
    , m_prefs(prefs)
    , m_recordAudioCheckbox(new SettingCheckBox(tr("Record &audio"), {"recordAudio", true}))
    , m_recordVideoCheckbox(new SettingCheckBox(tr("Record &video"), {"recordVideo", false}))
    , m_useCallRecorderCheckbox(
          new SettingCheckBox(tr("Use Call &Recorder for Skype calls"), {"useCallRecorder", false}))
{
    connect(m_useCallRecorderCheckbox, &QCheckBox::clicked, this,
            &RecordingPane::updateRecordingView);

    auto *grid = new QGridLayout(this);
    grid->setColumnMinimumWidth(0, kIndent);
    grid->setColumnStretch(2, 1);
    grid->addWidget(m_recordAudioCheckbox, 0, 0, 1, 3);
    addPopUpRow(*grid, tr("&Microphone:"), tr("No microphone found"),
                {nullptr, &PrefsController::audioDeviceNames,
                 &PrefsController::selectedAudioDeviceName, &PrefsController::audioDevices,
                 &PrefsController::setSelectedAudioDeviceName,
                 &PrefsController::audioDevicesChanged, "audioDevice",
                 PrefsController::kAudioDeviceChangedNotification},
                0);
    addPopUpRow(*grid, tr("&Quality:"), QString(),
                {nullptr, &PrefsController::audioQualityNames,
                 &PrefsController::selectedAudioQualityName, &PrefsController::audioQualities,
                 &PrefsController::setSelectedAudioQualityName,
                 &PrefsController::audioQualitiesChanged, "audioQuality",
                 PrefsController::kAudioQualityChangedNotification},
                1);
    grid->addWidget(m_recordVideoCheckbox, grid->rowCount(), 0, 1, 3);
    addPopUpRow(*grid, tr("&Camera:"), tr("No camera found"),
                {nullptr, &PrefsController::videoDeviceNames,
                 &PrefsController::selectedVideoDeviceName, &PrefsController::videoDevices,
                 &PrefsController::setSelectedVideoDeviceName,
                 &PrefsController::videoDevicesChanged, "videoDevice",
                 PrefsController::kVideoDeviceChangedNotification},
                2);
    addPopUpRow(*grid, tr("Qualit&y:"), QString(),
                {nullptr, &PrefsController::videoQualityNames,
                 &PrefsController::selectedVideoQualityName, &PrefsController::videoQualities,
                 &PrefsController::setSelectedVideoQualityName,
                 &PrefsController::videoQualitiesChanged, "videoQuality",
                 PrefsController::kVideoQualityChangedNotification},
                3);
    grid->setRowMinimumHeight(grid->rowCount(), kIndent / 2);
    grid->addWidget(m_useCallRecorderCheckbox, grid->rowCount(), 0, 1, 3);
    grid->setRowStretch(grid->rowCount(), 1);

    setupOptions();
}

void RecordingPane::addPopUpRow(QGridLayout &grid, const QString &label, const QString &placeholder,
                                PopUp popUp, std::size_t slot)
{
    popUp.view = new QComboBox;
    popUp.view->setPlaceholderText(placeholder); // shown while the list is empty
    popUp.view->setObjectName(popUp.key + QStringLiteral("PopUp"));
    popUp.view->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    popUp.view->setMinimumContentsLength(kPopUpCharacters);
    popUp.title = new QLabel(label);
    popUp.title->setBuddy(popUp.view);
    popUp.title->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const int row = grid.rowCount();
    grid.addWidget(popUp.title, row, 1);
    grid.addWidget(popUp.view, row, 2);
    m_popUps[slot] = popUp;
    // Activated: the user's choice only, so that the program's refills store nothing.
    connect(popUp.view, &QComboBox::activated, this,
            [this, slot](int index) { popUpPressed(m_popUps[slot], index); });
    connect(&m_prefs, popUp.listChanged, this, [this, slot] { fill(m_popUps[slot]); });
    fill(popUp);
}

void RecordingPane::fill(const PopUp &popUp)
{
    const QStringList names = (m_prefs.*popUp.names)();
    QStringList shown;
    for (int i = 0; i < popUp.view->count(); ++i)
        shown.append(popUp.view->itemText(i));
    if (shown != names) {
        popUp.view->clear();
        popUp.view->addItems(names);
    }
    popUp.view->setCurrentIndex(names.indexOf((m_prefs.*popUp.selectedName)()));
}

void RecordingPane::popUpPressed(const PopUp &popUp, int index)
{
    const QString name = popUp.view->itemText(index);
    const QMap<QString, QString> ids = (m_prefs.*popUp.ids)();
    // A name the lists no longer hold would store nothing as the id.
    if (!ids.contains(name))
        return;
    lq::UserDefaults::standard().setString(popUp.key, ids.value(name));
    (m_prefs.*popUp.setSelectedName)(name);
    lq::NotificationCenter::defaultCenter().post(popUp.notification, &m_prefs);
}

void RecordingPane::setupOptions()
{
    for (SettingCheckBox *box :
         {m_recordAudioCheckbox, m_recordVideoCheckbox, m_useCallRecorderCheckbox})
        box->load();
    updateRecordingView();
}

void RecordingPane::updateRecordingView()
{
    const bool enabled = !m_useCallRecorderCheckbox->isChecked();
    m_recordAudioCheckbox->setEnabled(enabled);
    m_recordVideoCheckbox->setEnabled(enabled);
    for (const PopUp &popUp : m_popUps) {
        popUp.view->setEnabled(enabled);
        popUp.title->setEnabled(enabled);
    }
}
