#pragma once

#include <QString>
#include <QWidget>

class PrefsController;
class QLabel;
class QLineEdit;
class QPushButton;

// The Saving pane of the preferences: the folder new notes are saved in and the format of
// their default name (calendar-date codes), with what the format gives today. A format is
// stored only while it is valid; emptying the field removes it. GUI thread only.
class SavingPane : public QWidget
{
    Q_OBJECT
public:
    explicit SavingPane(PrefsController &prefs, QWidget *parent = nullptr);

    // Shows the stored folder and format, and the examples for today.
    void fill();
    // Checks the field's format, shows what it gives and stores it when valid (removes the
    // setting when the field is empty); answers the stored format, or none.
    QString checkSaveFilename();

private:
    void saveLocationButtonPressed();
    void clearSaveLocationButtonPressed();
    void setExampleOut(QLabel *out, const QLabel *in);

    PrefsController &m_prefs;
    QLineEdit *m_saveLocationPathControl;
    QPushButton *m_saveLocationButton;
    QPushButton *m_clearSaveLocationButton;
    QLineEdit *m_saveFilenameField;
    QLabel *m_saveFilenameInvalid;
    QLabel *m_wouldLookLike;
    QLabel *m_saveFilenameLooksLike;
    QLabel *m_saveFilenameExampleIn1;
    QLabel *m_saveFilenameExampleOut1;
    QLabel *m_saveFilenameExampleIn2;
    QLabel *m_saveFilenameExampleOut2;
};
