#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <array>

class PrefsController;
class QComboBox;
class QGridLayout;
class QLabel;
class SettingCheckBox;

// The Recording pane of the preferences: whether to record audio and video, the devices and
// qualities to record with, and the call recorder, which takes the place of all of them. The
// pop-ups follow the preferences' lists as they change; only the user's choice stores. GUI
// thread only.
class RecordingPane : public QWidget
{
    Q_OBJECT
public:
    explicit RecordingPane(PrefsController &prefs, QWidget *parent = nullptr);

    // The check boxes as stored, and the controls the call recorder replaces enabled to match.
    void setupOptions();
    // With the call recorder on, the two record boxes and the four pop-ups are disabled.
    void updateRecordingView();

private:
    // A pop-up and what it shows and sets of the preferences.
    struct PopUp
    {
        QComboBox *view = nullptr;
        QStringList (PrefsController::*names)() const = nullptr;
        QString (PrefsController::*selectedName)() const = nullptr;
        QMap<QString, QString> (PrefsController::*ids)() const = nullptr;
        void (PrefsController::*setSelectedName)(const QString &) = nullptr;
        void (PrefsController::*listChanged)() = nullptr;
        QString key;
        QString notification;
        QLabel *title = nullptr;
    };

    void addPopUpRow(QGridLayout &grid, const QString &label, const QString &placeholder,
                     PopUp popUp, std::size_t slot);
    void fill(const PopUp &popUp);
    void popUpPressed(const PopUp &popUp, int index);

    PrefsController &m_prefs;
    SettingCheckBox *m_recordAudioCheckbox;
    SettingCheckBox *m_recordVideoCheckbox;
    SettingCheckBox *m_useCallRecorderCheckbox;
    std::array<PopUp, 4> m_popUps;
};
