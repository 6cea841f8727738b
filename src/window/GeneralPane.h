#pragma once

#include <QPointer>
#include <QWidget>

class PrefsController;
class QCheckBox;
class QFont;
class QFontDialog;
class QLabel;
class QPushButton;

// The General pane of the preferences: how the notes behave while typing and playing, the
// media sidebar, the default notes font (chosen in a font panel that applies each choice at
// once) and the update checks. GUI thread only.
class GeneralPane : public QWidget
{
    Q_OBJECT
public:
    explicit GeneralPane(PrefsController &prefs, QWidget *parent = nullptr);

    // Shows the font panel with the default font.
    void changeFontClicked();
    // The font panel's choice becomes the default font when it differs.
    void changeFont(const QFont &font);
    // The font panel closed: its choices no longer reach the default font.
    void fontPanelClosing();

private:
    void showDefaultFont();
    void showUpdateSettings();

    PrefsController &m_prefs;
    QLabel *m_defaultFontField;
    QPushButton *m_changeFontButton;
    QCheckBox *m_automaticallyUpdatesCheckbox;
    QCheckBox *m_includeBetasCheckbox;
    QPointer<QFontDialog> m_fontPanel;
};
