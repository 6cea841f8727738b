#include "window/GeneralPane.h"

#include "preferences/PrefsController.h"
#include "window/SettingCheckBox.h"

#include <QCheckBox>
#include <QFontDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kGroupSpacing = 6;

QVBoxLayout *column(std::initializer_list<QWidget *> widgets)
{
    auto *layout = new QVBoxLayout;
    for (QWidget *widget : widgets)
        layout->addWidget(widget);
    return layout;
}

} // namespace

GeneralPane::GeneralPane(PrefsController &prefs, QWidget *parent)
    : QWidget(parent)
    , m_prefs(prefs)
    , m_defaultFontField(new QLabel)
    , m_changeFontButton(new QPushButton(tr("C&hange…")))
    , m_automaticallyUpdatesCheckbox(new QCheckBox(tr("&Check for updates automatically")))
    , m_includeBetasCheckbox(new QCheckBox(tr("Include &beta versions")))
{
    m_defaultFontField->setObjectName("currentDefaultFontString");
    m_changeFontButton->setObjectName("changeFontButton");
    m_automaticallyUpdatesCheckbox->setObjectName("automaticallyUpdatesCheckbox");
    m_includeBetasCheckbox->setObjectName("includeBetasCheckbox");
    auto *autosave =
        new SettingCheckBox(tr("&Autosave notes while editing"), {"noAutoRecovery", false, true});
    // Saves that never hold up the user leave nothing to choose.
    autosave->setVisible(!prefs.hidesAutosavePreference());

    auto *form = new QFormLayout(this);
    form->setVerticalSpacing(form->verticalSpacing() + kGroupSpacing);
    form->addRow(tr("Notes:"), column({new SettingCheckBox(tr("Check &spelling while typing"),
                                                           {"checkSpellingByDefault", false}),
                                       autosave}));
    form->addRow(tr("During playback:"),
                 column({new SettingCheckBox(tr("Scroll the notes to &follow playback"),
                                             {"autoScrollDuringPlayback", false}),
                         new SettingCheckBox(tr("Flash each character as playback &reaches it"),
                                             {"skipHighlightingCharacters", false, true})}));
    form->addRow(
        tr("Media sidebar:"),
        column({new SettingCheckBox(tr("Open the a&udio section when audio recording is turned on"),
                                    {"autoExpandAudio", true}),
                new SettingCheckBox(tr("Open the &video section when video recording is turned on"),
                                    {"autoExpandVideo", true})}));
    auto *font = new QHBoxLayout;
    font->addWidget(m_defaultFontField, 1);
    font->addWidget(m_changeFontButton);
    form->addRow(tr("Default font:"), font);
    form->addRow(tr("Updates:"), column({m_automaticallyUpdatesCheckbox, m_includeBetasCheckbox}));

    connect(m_changeFontButton, &QPushButton::clicked, this, &GeneralPane::changeFontClicked);
    connect(&prefs, &PrefsController::currentDefaultFontStringChanged, this,
            &GeneralPane::showDefaultFont);
    connect(m_automaticallyUpdatesCheckbox, &QCheckBox::clicked, &prefs,
            &PrefsController::setAutomaticallyUpdates);
    connect(m_includeBetasCheckbox, &QCheckBox::clicked, &prefs, &PrefsController::setIncludeBetas);
    connect(&prefs, &PrefsController::automaticallyUpdatesChanged, this,
            &GeneralPane::showUpdateSettings);
    connect(&prefs, &PrefsController::includeBetasChanged, this, &GeneralPane::showUpdateSettings);
    showDefaultFont();
    showUpdateSettings();
}

void GeneralPane::changeFontClicked()
{
    if (!m_fontPanel) {
        m_fontPanel = new QFontDialog(this);
        m_fontPanel->setObjectName("fontPanel");
        m_fontPanel->setWindowTitle(tr("Fonts"));
        // Each choice applies at once, as the user makes it.
        m_fontPanel->setOptions(QFontDialog::DontUseNativeDialog | QFontDialog::NoButtons);
        connect(m_fontPanel, &QFontDialog::finished, this, &GeneralPane::fontPanelClosing);
    }
    m_fontPanel->setCurrentFont(m_prefs.currentDefaultFont());
    connect(m_fontPanel, &QFontDialog::currentFontChanged, this, &GeneralPane::changeFont,
            Qt::UniqueConnection);
    m_fontPanel->show();
    m_fontPanel->raise();
    m_fontPanel->activateWindow();
}

void GeneralPane::changeFont(const QFont &font)
{
    if (font != m_prefs.currentDefaultFont())
        m_prefs.setCurrentDefaultFont(font);
}

void GeneralPane::fontPanelClosing()
{
    disconnect(m_fontPanel, &QFontDialog::currentFontChanged, this, &GeneralPane::changeFont);
}

void GeneralPane::showDefaultFont()
{
    const PrefsController::FontDescription description = m_prefs.currentDefaultFontString();
    // In the font's family and style, at the pane's size: the text tells the size.
    QFont shown = description.font;
    shown.setPointSizeF(font().pointSizeF());
    m_defaultFontField->setFont(shown);
    m_defaultFontField->setText(description.text);
}

void GeneralPane::showUpdateSettings()
{
    const bool automatic = m_prefs.automaticallyUpdates();
    m_automaticallyUpdatesCheckbox->setChecked(automatic);
    m_includeBetasCheckbox->setChecked(m_prefs.includeBetas());
    // Betas come only with automatic checks; turning those off goes back to releases.
    m_includeBetasCheckbox->setEnabled(automatic);
}
