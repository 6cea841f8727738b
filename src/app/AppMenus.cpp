#include "app/AppMenus.h"

#include "app/AppDelegate.h"
#include "app/LQApplication.h"
#include "app/LumaDocumentController.h"
#include "document/MyDocument.h"
#include "document/WrenTextView.h"
#include "platform/foundation/UndoManager.h"
#include "platform/ui/AlertPresenter.h"
#include "platform/ui/FilePanel.h"
#include "platform/ui/MainMenu.h"
#include "platform/ui/PanelPresenter.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QPointer>

namespace {

// Names of the menus that start empty and are filled by the note commands.
const char *const kViewMenu = "View";
const char *const kRecordingMenu = "Recording";

// The open panel takes files, and a note's package (a folder) when the user opens it.
std::optional<QString> chooseFileToOpen()
{
    QFileDialog dialog(QApplication::activeWindow(), QObject::tr("Open"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    QString package;
    QObject::connect(&dialog, &QFileDialog::directoryEntered, &dialog, [&](const QString &folder) {
        if (folder.endsWith(QLatin1Char('.') + QLatin1String(MyDocument::kFileExtension))) {
            package = folder;
            static_cast<QDialog &>(dialog).done(QDialog::Accepted);
        }
    });
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    if (!package.isEmpty())
        return package;
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? std::nullopt : std::optional<QString>(chosen.first());
}

// The focused widget's edit command (undo, cut, ...); a note's text undoes through its note.
void sendToFocus(const char *command, LumaDocumentController &controller)
{
    QWidget *focus = QApplication::focusWidget();
    if (!focus)
        return;
    MyDocument *note = controller.noteForWindow(focus);
    const bool isUndo = qstrcmp(command, "undo") == 0 || qstrcmp(command, "redo") == 0;
    if (note && isUndo && qobject_cast<WrenTextView *>(focus)) {
        lq::UndoManager *undo = note->lq::Document::undoManager();
        if (qstrcmp(command, "undo") == 0 && undo->canUndo())
            undo->undo();
        else if (qstrcmp(command, "redo") == 0 && undo->canRedo())
            undo->redo();
        return;
    }
    // Text fields answer these commands; other widgets ignore them.
    const QByteArray signature = QByteArray(command) + "()";
    if (focus->metaObject()->indexOfMethod(signature.constData()) >= 0)
        QMetaObject::invokeMethod(focus, command);
}

} // namespace

AppMenus::AppMenus(lq::MainMenu &mainMenu, LumaDocumentController &controller,
                   LQApplication *application, QObject *parent)
    : QObject(parent), m_controller(controller), m_application(application)
{
    buildFileMenu(*mainMenu.addMenu(tr("&File")));
    buildEditMenu(*mainMenu.addMenu(tr("&Edit")));
    mainMenu.addMenu(tr(kViewMenu));
    mainMenu.addMenu(tr(kRecordingMenu));
    buildWindowMenu(*mainMenu.addMenu(tr("&Window")));
    buildHelpMenu(*mainMenu.addMenu(tr("&Help")));
}

void AppMenus::buildFileMenu(QMenu &menu)
{
    menu.addAction(tr("&New"), QKeySequence::New, this, &AppMenus::newDocument);
    menu.addAction(tr("&Open…"), QKeySequence::Open, this, &AppMenus::openDocument);
    menu.addSeparator();
    menu.addAction(tr("&Close"), QKeySequence::Close, this, &AppMenus::closeDocument);
    menu.addAction(tr("&Save"), QKeySequence::Save, this,
                   [this] { withCurrentNote(&AppMenus::saveDocument); });
    menu.addAction(tr("Save &As…"), QKeySequence::SaveAs, this,
                   [this] { withCurrentNote(&AppMenus::saveDocumentAs); });
    menu.addAction(tr("&Revert"), this, [this] { withCurrentNote(&AppMenus::revertDocument); });
    menu.addSeparator();
    menu.addAction(tr("&Quit"), QKeySequence::Quit, this, [this] {
        if (m_application)
            m_application->terminate();
    });
}

void AppMenus::buildEditMenu(QMenu &menu)
{
    const struct
    {
        const char *title;
        QKeySequence::StandardKey key;
        const char *command;
    } items[] = {
        {QT_TR_NOOP("&Undo"), QKeySequence::Undo, "undo"},
        {QT_TR_NOOP("&Redo"), QKeySequence::Redo, "redo"},
        {QT_TR_NOOP("Cu&t"), QKeySequence::Cut, "cut"},
        {QT_TR_NOOP("&Copy"), QKeySequence::Copy, "copy"},
        {QT_TR_NOOP("&Paste"), QKeySequence::Paste, "paste"},
        {QT_TR_NOOP("Select &All"), QKeySequence::SelectAll, "selectAll"},
    };
    for (const auto &item : items) {
        if (qstrcmp(item.command, "cut") == 0 || qstrcmp(item.command, "selectAll") == 0)
            menu.addSeparator();
        const char *command = item.command;
        menu.addAction(tr(item.title), item.key, this,
                       [this, command] { sendToFocus(command, m_controller); });
    }
}

void AppMenus::buildWindowMenu(QMenu &menu)
{
    menu.addAction(tr("Mi&nimize"), QKeySequence(Qt::CTRL | Qt::Key_M), this, [] {
        if (QWidget *window = QApplication::activeWindow())
            window->window()->showMinimized();
    });
}

void AppMenus::buildHelpMenu(QMenu &menu)
{
    menu.addAction(tr("&About Luma Quill"), this, [] {
        if (AppDelegate *delegate = AppDelegate::sharedAppDelegate())
            delegate->showAboutWindow();
    });
    menu.addSeparator();
}

void AppMenus::withCurrentNote(void (AppMenus::*what)(MyDocument &))
{
    if (MyDocument *note = m_controller.currentNote())
        (this->*what)(*note);
}

void AppMenus::withCurrentNote(bool (AppMenus::*what)(MyDocument &))
{
    if (MyDocument *note = m_controller.currentNote())
        (this->*what)(*note);
}

void AppMenus::showError(const QString &message, const QString &detail)
{
    lq::AlertRequest alert;
    alert.messageText = message;
    alert.informativeText = detail;
    lq::AlertPresenter::current().runModal(alert);
}

void AppMenus::newDocument()
{
    m_controller.openUntitledDocumentAndDisplay(true);
}

void AppMenus::openDocument()
{
    if (const std::optional<QString> path = chooseFileToOpen())
        m_controller.openFiles({*path});
}

void AppMenus::closeDocument()
{
    if (MyDocument *note = m_controller.currentNote())
        m_controller.performClose(note);
}

bool AppMenus::saveDocument(MyDocument &note)
{
    if (note.fileUrl().isEmpty())
        return saveDocumentAs(note);
    lq::Error error;
    if (note.save(&error))
        return true;
    showError(tr("The note “%1” could not be saved.").arg(note.displayName()),
              error.descriptionWithCause());
    return false;
}

bool AppMenus::saveDocumentAs(MyDocument &note)
{
    lq::FilePanel panel(lq::FilePanel::Kind::Save);
    panel.setTitle(tr("Save As"));
    panel.setAllowedExtensions({QLatin1String(MyDocument::kFileExtension)});
    note.prepareSavePanel(panel);
    const std::optional<QString> path = lq::PanelPresenter::current().runModal(panel);
    if (!path)
        return false;
    lq::Error error;
    if (note.saveToUrl(*path, lq::SaveOperation::SaveAs, &error))
        return true;
    showError(tr("The note “%1” could not be saved.").arg(note.displayName()),
              error.descriptionWithCause());
    return false;
}

void AppMenus::revertDocument(MyDocument &note)
{
    if (note.fileUrl().isEmpty() || !note.isDocumentEdited())
        return;
    lq::AlertRequest question;
    question.messageText = tr("Do you want to revert to the most recently saved version of “%1”?")
                               .arg(note.displayName());
    question.informativeText = tr("Your current changes will be lost.");
    question.buttons = {tr("Revert"), tr("Cancel")};
    if (lq::AlertPresenter::current().runModal(question).buttonIndex != 0)
        return;
    lq::Error error;
    if (!note.revertToContentsOfUrl(note.fileUrl(), &error))
        showError(tr("The note “%1” could not be reverted.").arg(note.displayName()),
                  error.descriptionWithCause());
}
