#pragma once

#include <QWidget>

class PrefsController;
class QCheckBox;
class QLabel;
class QLineEdit;
class QSlider;

// The Playback pane of the preferences: the audio boost, the jump-back time and the lead-in
// before a clicked word. Only the user's changes store. GUI thread only.
class PlaybackPane : public QWidget
{
    Q_OBJECT
public:
    explicit PlaybackPane(PrefsController &prefs, QWidget *parent = nullptr);

    // Shows what is stored: a boost of 0 or more ticks the box and sets the slider (an "off"
    // boost leaves both as they are); the jump-back time, 30 when none is stored; the lead-in.
    void fill();

private:
    void boostAudioCheckboxPressed();
    void boostAudioSliderMoved();
    void jumpTextFieldChanged();
    void showJumpBackTime();
    void eventBufferFieldChanged();
    void showBoost(int sliderPosition);

    PrefsController &m_prefs;
    QCheckBox *m_boostAudioCheckbox;
    QSlider *m_boostAudioSlider;
    QLabel *m_boostAudioValue;
    QLineEdit *m_jumpTextField;
    QLineEdit *m_eventBufferField;
};
