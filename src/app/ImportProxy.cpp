#include "app/ImportProxy.h"

#include "app/LumaDocumentController.h"
#include "document/DocumentWindowController.h"
#include "document/MyDocument.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/AlertPresenter.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

ImportProxy::ImportProxy(LumaDocumentController &controller, QObject *parent)
    : lq::Document(parent), m_controller(controller)
{}

ImportProxy::~ImportProxy() = default;

bool ImportProxy::readFromUrl(const QString &path, lq::Error *)
{
    m_importUrl = path;
    return true;
}

lq::Document::Writing ImportProxy::beginWriting(const QString &, lq::SaveOperation,
                                                lq::Error *error)
{
    lq::setError(error, lq::Error(QStringLiteral("import"), -1,
                                  tr("A file being imported cannot be saved.")));
    return {};
}

void ImportProxy::buildWindow()
{
    m_importWindow = std::make_unique<QDialog>();
    m_importWindow->setModal(false);
    auto *column = new QVBoxLayout(m_importWindow.get());
    m_questionTextField = new QLabel(tr("Which note should receive "));
    m_questionTextField->setWordWrap(true);
    column->addWidget(m_questionTextField);

    auto *choices = new QGridLayout;
    auto *openNote = new QRadioButton(tr("An open note:"));
    auto *newNote = new QRadioButton(tr("A new note"));
    m_documentButton = new QComboBox;
    m_choice = new QButtonGroup(m_importWindow.get());
    m_choice->addButton(openNote, kOpenNote);
    m_choice->addButton(newNote, kNewNote);
    openNote->setChecked(true);
    choices->addWidget(openNote, 0, 0);
    choices->addWidget(m_documentButton, 0, 1);
    choices->addWidget(newNote, 1, 0);
    column->addLayout(choices);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    column->addWidget(buttons);
    connect(m_choice, &QButtonGroup::idClicked, this, &ImportProxy::choiceChanged);
    connect(buttons->button(QDialogButtonBox::Ok), &QPushButton::clicked, this,
            &ImportProxy::okClicked);
    connect(buttons->button(QDialogButtonBox::Cancel), &QPushButton::clicked, this,
            &ImportProxy::cancelClicked);
    // Escape or the window's close button cancel.
    connect(m_importWindow.get(), &QDialog::rejected, this, &ImportProxy::cancelClicked);
}

void ImportProxy::showWindow()
{
    if (m_importUrl.isEmpty())
        return;
    buildWindow();
    const QString name = QFileInfo(m_importUrl).fileName();
    m_questionTextField->setText(m_questionTextField->text() + tr("%1?").arg(name));
    m_importWindow->setWindowTitle(tr("Importing %1").arg(name));
    m_listedNotes.clear();
    for (MyDocument *note : m_controller.notes()) {
        m_documentButton->addItem(note->displayName());
        m_listedNotes.emplace_back(note);
    }

    if (m_documentButton->count() == 0) {
        addToDoc(nullptr);
        return;
    }
    const lq::UserDefaults &defaults = lq::UserDefaults::standard();
    if (defaults.contains(QLatin1String(kImportTypeKey))) {
        const int stored = static_cast<int>(defaults.integerForKey(QLatin1String(kImportTypeKey)));
        if (QAbstractButton *cell = m_choice->button(stored)) {
            cell->setChecked(true);
            choiceChanged();
        }
    }
    m_importWindow->show();
    m_importWindow->raise();
    m_importWindow->activateWindow();
}

void ImportProxy::choiceChanged()
{
    const bool openNote = m_choice->checkedId() == kOpenNote;
    m_documentButton->setEnabled(openNote);
    lq::UserDefaults::standard().setInteger(QLatin1String(kImportTypeKey),
                                            openNote ? kOpenNote : kNewNote);
}

void ImportProxy::okClicked()
{
    if (m_choice->checkedId() != kOpenNote) {
        addToDoc(nullptr);
        return;
    }
    const auto chosen = size_t(m_documentButton->currentIndex());
    // Null once the chosen note has closed.
    MyDocument *note = chosen < m_listedNotes.size() ? m_listedNotes[chosen].data() : nullptr;
    if (note) {
        addToDoc(note);
        return;
    }
    const QString title = m_documentButton->currentText();
    lq::AlertRequest alert;
    alert.messageText = tr("Error");
    alert.informativeText = tr("The document %1 is no longer open").arg(title);
    lq::AlertPresenter::current().runModal(alert);
    closeAfterDelay();
}

void ImportProxy::cancelClicked()
{
    closeAfterDelay();
}

void ImportProxy::addToDoc(MyDocument *note)
{
    if (!note)
        note = m_controller.openUntitledDocumentAndDisplay(true);
    if (!note || !note->windowController()) {
        lq::log(
            QStringLiteral("Error: could not make a note to import %1 into.\n").arg(m_importUrl));
        closeAfterDelay();
        return;
    }
    note->windowController()->addPath(m_importUrl);
    closeAfterDelay();
}

void ImportProxy::closeAfterDelay()
{
    if (m_importWindow) {
        // Hidden without another rejected signal.
        m_importWindow->disconnect(this);
        m_importWindow->hide();
    }
    m_controller.closeDocumentLater(this);
}
