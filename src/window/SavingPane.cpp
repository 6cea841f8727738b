#include "window/SavingPane.h"

#include "platform/foundation/UserDefaults.h"
#include "platform/ui/FilePanel.h"
#include "platform/ui/PanelPresenter.h"
#include "preferences/ArchivedValues.h"
#include "preferences/PrefsController.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>

namespace {

const QString kSaveLocationKey = QStringLiteral("defaultSaveLocation");
const QString kSaveFilenameKey = QStringLiteral("defaultSaveFilename");
constexpr int kSpacing = 10;

lq::UserDefaults &defaults()
{
    return lq::UserDefaults::standard();
}

template <class Widget>
Widget *named(Widget *widget, const char *name)
{
    widget->setObjectName(name);
    return widget;
}

} // namespace

SavingPane::SavingPane(PrefsController &prefs, QWidget *parent)
    : QWidget(parent)
    , m_prefs(prefs)
    , m_saveLocationPathControl(named(new QLineEdit, "saveLocationPathControl"))
    , m_saveLocationButton(named(new QPushButton(tr("C&hoose…")), "saveLocationButton"))
    , m_clearSaveLocationButton(named(new QPushButton(tr("C&lear")), "clearSaveLocationButton"))
    , m_saveFilenameField(named(new QLineEdit, "saveFilenameField"))
    , m_saveFilenameInvalid(named(new QLabel(tr("A file name format cannot contain a slash (/).")),
                                  "saveFilenameInvalid"))
    , m_wouldLookLike(named(new QLabel(tr("Would look like:")), "wouldLookLike"))
    , m_saveFilenameLooksLike(named(new QLabel, "saveFilenameLooksLike"))
    , m_saveFilenameExampleIn1(named(new QLabel(tr("Notes %Y-%m-%d")), "saveFilenameExampleIn1"))
    , m_saveFilenameExampleOut1(named(new QLabel, "saveFilenameExampleOut1"))
    , m_saveFilenameExampleIn2(named(new QLabel(tr("%A, %B %e")), "saveFilenameExampleIn2"))
    , m_saveFilenameExampleOut2(named(new QLabel, "saveFilenameExampleOut2"))
{
    m_saveLocationPathControl->setReadOnly(true);
    m_saveLocationPathControl->setPlaceholderText(tr("None chosen"));
    m_saveLocationPathControl->setFocusPolicy(Qt::TabFocus);

    auto *grid = new QGridLayout(this);
    grid->setColumnStretch(1, 1);
    auto *location = new QLabel(tr("Save &new notes in:"));
    location->setBuddy(m_saveLocationPathControl);
    grid->addWidget(location, 0, 0, Qt::AlignRight);
    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(m_saveLocationPathControl, 1);
    folderRow->addWidget(m_saveLocationButton);
    folderRow->addWidget(m_clearSaveLocationButton);
    grid->addLayout(folderRow, 0, 1);
    grid->setRowMinimumHeight(1, kSpacing);
    auto *name = new QLabel(tr("&File name:"));
    name->setBuddy(m_saveFilenameField);
    grid->addWidget(name, 2, 0, Qt::AlignRight);
    grid->addWidget(m_saveFilenameField, 2, 1);
    // The example and the warning take turns in one place, which keeps its height.
    auto *example = new QWidget;
    example->setObjectName("saveFilenameExample");
    auto *exampleRow = new QHBoxLayout(example);
    exampleRow->setContentsMargins(0, 0, 0, 0);
    exampleRow->addWidget(m_wouldLookLike);
    exampleRow->addWidget(m_saveFilenameLooksLike, 1);
    QSizePolicy keepsHeight = example->sizePolicy();
    keepsHeight.setRetainSizeWhenHidden(true);
    example->setSizePolicy(keepsHeight);
    grid->addWidget(example, 3, 1);
    grid->addWidget(m_saveFilenameInvalid, 3, 1);
    grid->setRowMinimumHeight(4, kSpacing);
    grid->addWidget(new QLabel(tr("Examples:")), 5, 0, Qt::AlignRight | Qt::AlignTop);
    auto *examples = new QGridLayout;
    examples->setHorizontalSpacing(2 * kSpacing);
    examples->setColumnStretch(1, 1);
    examples->addWidget(m_saveFilenameExampleIn1, 0, 0);
    examples->addWidget(m_saveFilenameExampleOut1, 0, 1);
    examples->addWidget(m_saveFilenameExampleIn2, 1, 0);
    examples->addWidget(m_saveFilenameExampleOut2, 1, 1);
    grid->addLayout(examples, 5, 1);
    grid->setRowStretch(6, 1);
    for (QLabel *format : {m_saveFilenameExampleIn1, m_saveFilenameExampleIn2})
        format->setTextInteractionFlags(Qt::TextSelectableByMouse);

    connect(m_saveLocationButton, &QPushButton::clicked, this,
            &SavingPane::saveLocationButtonPressed);
    connect(m_clearSaveLocationButton, &QPushButton::clicked, this,
            &SavingPane::clearSaveLocationButtonPressed);
    // Every change the user makes, and only those.
    connect(m_saveFilenameField, &QLineEdit::textEdited, this, &SavingPane::checkSaveFilename);
    fill();
}

void SavingPane::fill()
{
    if (const std::optional<QUrl> folder =
            lq::ArchivedValues::decodeFolderURL(defaults().dataForKey(kSaveLocationKey)))
        m_saveLocationPathControl->setText(QDir::toNativeSeparators(folder->toLocalFile()));
    if (defaults().contains(kSaveFilenameKey))
        m_saveFilenameField->setText(defaults().stringForKey(kSaveFilenameKey));
    checkSaveFilename();
    setExampleOut(m_saveFilenameExampleOut1, m_saveFilenameExampleIn1);
    setExampleOut(m_saveFilenameExampleOut2, m_saveFilenameExampleIn2);
}

QString SavingPane::checkSaveFilename()
{
    const QString format = m_saveFilenameField->text();
    const QString name = m_prefs.saveFilenameForFormat(format);
    const bool invalid = !format.isEmpty() && name.isNull();
    m_saveFilenameInvalid->setVisible(invalid);
    m_wouldLookLike->setVisible(!name.isNull() && !format.isEmpty());
    m_saveFilenameLooksLike->setText(format.isEmpty() ? QString() : name);
    if (format.isEmpty()) {
        defaults().removeObject(kSaveFilenameKey);
        return {};
    }
    if (invalid)
        return {}; // the last valid format stays stored
    defaults().setString(kSaveFilenameKey, format);
    return format;
}

void SavingPane::setExampleOut(QLabel *out, const QLabel *in)
{
    out->setText(m_prefs.saveFilenameForFormat(in->text()));
}

void SavingPane::saveLocationButtonPressed()
{
    lq::FilePanel panel(lq::FilePanel::Kind::Open);
    panel.setChoosesFolder(true);
    panel.setCanCreateFolders(true);
    panel.setMessage(tr("Select the directory you would like to save notes in by default"));
    panel.setNameFieldLabel(tr("Directory:"));
    panel.setPrompt(tr("Choose"));
    panel.setTitle(tr("Default Save Location"));
    panel.setDirectory(QDir::fromNativeSeparators(m_saveLocationPathControl->text()));
    const std::optional<QString> folder = lq::PanelPresenter::current().runModal(panel);
    if (!folder)
        return;
    defaults().setObject(kSaveLocationKey,
                         lq::ArchivedValues::encodeFolderURL(QUrl::fromLocalFile(*folder)));
    m_saveLocationPathControl->setText(QDir::toNativeSeparators(*folder));
}

void SavingPane::clearSaveLocationButtonPressed()
{
    defaults().removeObject(kSaveLocationKey);
    m_saveLocationPathControl->clear();
}
