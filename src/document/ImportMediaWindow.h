#pragma once

#include <QDialog>

#include <array>

class ImportMediaView;
class QButtonGroup;
class QLabel;
class QProgressBar;
class QPushButton;

// The import dialog's widgets: the sessions bar with the arrows that show where the new session
// goes, the colour key, the three choices, the warning, the progress and the buttons. It shows
// what its controller sets; user actions come out as signals.
class ImportMediaWindow final : public QDialog
{
    Q_OBJECT

public:
    // The choices' ids.
    static constexpr int kAtBeginning = 31;
    static constexpr int kReplaceAll = 32;
    static constexpr int kAtEnd = 33;
    static constexpr int kKeyCount = 4;

    explicit ImportMediaWindow(QWidget *parent = nullptr);

    ImportMediaView *sessionsView() const { return m_sessionsView; }
    QWidget *beforeArrow() const { return m_beforeArrow; }
    QWidget *replaceArrow() const { return m_replaceArrow; }
    QWidget *appendArrow() const { return m_appendArrow; }
    QButtonGroup *radioButtons() const { return m_radioButtons; }
    QLabel *warningField() const { return m_warningField; }
    QLabel *keyTextField(int index) const { return m_keyTextFields.at(index); }
    ImportMediaView *keyView(int index) const { return m_keyViews.at(index); }
    QLabel *progressTextField() const { return m_progressText; }
    QProgressBar *progressIndicator() const { return m_progressIndicator; }
    QPushButton *okButton() const { return m_okButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }

    // Shows or hides a key's label and swatch together.
    void setKeyShown(int index, bool shown);
    // The progress text and the running indicator, or neither.
    void setProgressShown(bool shown);
    // Centres the dialog on the screen.
    void centre();

    // Escape and the close button cancel only while Cancel is offered.
    void reject() override;

Q_SIGNALS:
    void choiceClicked(int id);
    void okClicked();

private:
    QWidget *buildSessionsRow();
    QWidget *buildKey();
    QWidget *buildChoices();
    QWidget *buildFooter();

    ImportMediaView *m_sessionsView = nullptr;
    QWidget *m_beforeArrow = nullptr;
    QWidget *m_replaceArrow = nullptr;
    QWidget *m_appendArrow = nullptr;
    QButtonGroup *m_radioButtons = nullptr;
    QLabel *m_warningField = nullptr;
    std::array<QLabel *, kKeyCount> m_keyTextFields{};
    std::array<ImportMediaView *, kKeyCount> m_keyViews{};
    QLabel *m_progressText = nullptr;
    QProgressBar *m_progressIndicator = nullptr;
    QPushButton *m_okButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};
