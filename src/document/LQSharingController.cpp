#include "document/LQSharingController.h"

#include "document/MyDocument.h"
#include "document/SharingViews.h"
#include "document/WrenTextView.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/AlertPresenter.h"
#include "platform/ui/FilePanel.h"
#include "platform/ui/HelpBook.h"
#include "platform/ui/PanelPresenter.h"
#include "preferences/ArchivedValues.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>

#include <functional>

namespace {

// Escape in a window answers as its Cancel button does, whichever of its controls has the keys
// and whether or not the window is active yet (a dialog would only reject itself, as closing it
// does).
class EscapeAsCancel final : public QObject
{
public:
    EscapeAsCancel(QWidget &window, std::function<void()> cancel)
        : QObject(&window), m_cancel(std::move(cancel))
    {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() != Qt::Key_Escape || key->modifiers() != Qt::NoModifier)
            return false;
        m_cancel();
        return true;
    }

private:
    std::function<void()> m_cancel;
};

const QString kHtmlType = QStringLiteral("HTML");
const QString kLocationKey = QLatin1String(LQSharingController::kDefaultShareLocationKey);
const QString kAuthorKey = QLatin1String(LQSharingController::kDefaultShareAuthorNameKey);

lq::UserDefaults &defaults()
{
    return lq::UserDefaults::standard();
}

// The stored default folder; none when absent or unreadable (the setting is left as it is).
std::optional<QString> storedShareFolder()
{
    const std::optional<QUrl> folder =
        lq::ArchivedValues::decodeFolderURL(defaults().dataForKey(kLocationKey));
    if (!folder)
        return std::nullopt;
    return folder->toLocalFile();
}

} // namespace

LQSharingController::LQSharingController()
{
    setExporter({});
}

LQSharingController::~LQSharingController() = default;

LQSharingController &LQSharingController::sharedSharingController()
{
    static LQSharingController *shared = new LQSharingController;
    return *shared;
}

void LQSharingController::setExporter(Exporter exporter)
{
    if (!exporter)
        exporter = [](MyDocument &note, const QString &folder, const QVariantMap &include,
                      lq::Error *error) { return note.exportToHTML(folder, include, error); };
    m_exporter = std::move(exporter);
}

void LQSharingController::showPrefsWindowIfNecessary()
{
    if (defaults().contains(kLocationKey) && defaults().contains(kAuthorKey))
        openShareDialog();
    else
        showPrefsWindow();
}

void LQSharingController::showPrefsWindow()
{
    m_beginningLocation = defaults().object(kLocationKey);
    m_beginningName = defaults().object(kAuthorKey);
    loadNib();
    // Save ends the run accepted; the panel follows once the window is gone.
    if (m_views->sharingWindow->exec() == QDialog::Accepted)
        openShareDialog();
}

void LQSharingController::openShareDialog()
{
    loadNib();
    SharingViews &views = *m_views;
    lq::FilePanel panel(lq::FilePanel::Kind::Save);
    panel.setCanCreateFolders(true);
    panel.setPrompt(tr("Share"));
    panel.setNameFieldLabel(tr("Share As:"));
    panel.setTitle(tr("Share for the Web"));
    markPossible(*views.includeAudioCheckbox, m_audioPossible);
    markPossible(*views.includeVideoCheckbox, m_videoPossible);
    markPossible(*views.includeSlidesCheckbox, m_slidesPossible);
    if (const std::optional<QString> folder = storedShareFolder();
        folder && QFileInfo(*folder).isDir())
        panel.setDirectory(*folder);
    // The panel owns the accessory from here; the boxes live as long as it does.
    panel.setAccessoryView(std::move(views.shareAccessoryView));
    if (const std::optional<QString> chosen = lq::PanelPresenter::current().runModal(panel))
        exportTo(*chosen);
    // The rest of the widgets go; the panel takes the accessory with it.
    m_views.reset();
}

void LQSharingController::exportTo(const QString &folder)
{
    const SharingViews &views = *m_views;
    QVariantMap include;
    setInclude(*views.includeAudioCheckbox, QStringLiteral("htmlIncludesAudio"), include);
    setInclude(*views.includeVideoCheckbox, QStringLiteral("htmlIncludesVideo"), include);
    setInclude(*views.includeSlidesCheckbox, QStringLiteral("htmlIncludesSlides"), include);
    setInclude(*views.includeOriginalCheckbox, QStringLiteral("htmlIncludesOriginal"), include);
    const QString type = views.typeButton->currentText();
    if (type != kHtmlType) {
        lq::log(
            QStringLiteral("Program error, cannot export to %1, invalid file type\n").arg(type));
        return;
    }
    lq::Error error;
    if (!m_currentDoc || m_exporter(*m_currentDoc, folder, include, &error) || error.isNull())
        return;
    lq::AlertRequest alert;
    alert.messageText = error.localizedDescription();
    alert.style = lq::AlertRequest::Style::Warning;
    WrenTextView *textView = m_currentDoc->textView();
    if (textView)
        lq::AlertPresenter::current().beginSheet(alert, textView->window(),
                                                 [](const lq::AlertResponse &) {});
    else
        lq::AlertPresenter::current().runModal(alert);
}

std::unique_ptr<QWidget> LQSharingController::sharingPrefsView()
{
    loadNib();
    std::unique_ptr<QWidget> pane(m_views->middleSectionView);
    pane->setParent(nullptr);
    return pane;
}

void LQSharingController::loadNib()
{
    m_views = std::make_unique<SharingViews>();
    SharingViews &views = *m_views;
    connect(views.browseButton, &QPushButton::clicked, this,
            &LQSharingController::browseButtonPressed);
    connect(views.clearButton, &QPushButton::clicked, this,
            &LQSharingController::clearButtonPressed);
    connect(views.needsToBeBlueButton, &QPushButton::clicked, this,
            &LQSharingController::saveButtonPressed);
    connect(views.cancelButton, &QPushButton::clicked, this,
            &LQSharingController::cancelButtonPressed);
    // Escape answers as Cancel does; closing the window only ends its run.
    new EscapeAsCancel(*views.sharingWindow, [this] { cancelButtonPressed(); });
    connect(views.learnDropboxButton, &QPushButton::clicked, this,
            &LQSharingController::learnDropboxPressed);
    connect(views.includeAudioCheckbox, &QCheckBox::clicked, this,
            &LQSharingController::includeAudioCheckboxPressed);
    connect(views.authorNameField, &QLineEdit::textEdited, this, [](const QString &name) {
        if (name.isEmpty())
            defaults().removeObject(kAuthorKey);
        else
            defaults().setString(kAuthorKey, name);
    });
    loadUnboundDefaults();
}

void LQSharingController::loadUnboundDefaults()
{
    if (const std::optional<QString> folder = storedShareFolder())
        m_views->sharePathControl->setText(QDir::toNativeSeparators(*folder));
    m_views->authorNameField->setText(defaults().stringForKey(kAuthorKey));
}

void LQSharingController::browseButtonPressed()
{
    lq::FilePanel panel(lq::FilePanel::Kind::Open);
    panel.setChoosesFolder(true);
    panel.setCanCreateFolders(true);
    panel.setMessage(tr("Select the directory you would like to share notes by default"));
    panel.setNameFieldLabel(tr("Directory:"));
    panel.setPrompt(tr("Choose"));
    panel.setTitle(tr("Default Share Location"));
    const std::optional<QString> folder = lq::PanelPresenter::current().runModal(panel);
    if (!folder)
        return;
    defaults().setObject(kLocationKey,
                         lq::ArchivedValues::encodeFolderURL(QUrl::fromLocalFile(*folder)));
    m_views->sharePathControl->setText(QDir::toNativeSeparators(*folder));
}

void LQSharingController::clearButtonPressed()
{
    defaults().removeObject(kLocationKey);
    m_views->sharePathControl->clear();
}

void LQSharingController::saveButtonPressed()
{
    stopModal(QDialog::Accepted);
}

void LQSharingController::cancelButtonPressed()
{
    // An invalid beginning value removes the setting.
    defaults().setObject(kLocationKey, m_beginningLocation);
    defaults().setObject(kAuthorKey, m_beginningName);
    m_beginningLocation.clear();
    m_beginningName.clear();
    stopModal(QDialog::Rejected);
}

void LQSharingController::learnDropboxPressed()
{
    stopModal(QDialog::Rejected);
    lq::HelpBook::current().openPage(QStringLiteral("sharing.html#dropbox"));
}

void LQSharingController::includeAudioCheckboxPressed()
{
    QCheckBox &video = *m_views->includeVideoCheckbox;
    if (m_views->includeAudioCheckbox->isChecked()) {
        video.setEnabled(m_videoPossible);
    } else {
        video.setChecked(false);
        video.setEnabled(false);
    }
}

void LQSharingController::markPossible(QCheckBox &box, bool possible)
{
    box.setChecked(possible);
    box.setEnabled(possible);
}

void LQSharingController::setInclude(const QCheckBox &box, const QString &key, QVariantMap &include)
{
    include.insert(key, box.isChecked());
}

void LQSharingController::stopModal(int result)
{
    m_views->sharingWindow->done(result);
}
