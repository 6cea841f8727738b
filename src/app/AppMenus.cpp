#include "app/AppMenus.h"

#include "app/AppDelegate.h"
#include "app/CrashReporter.h"
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

// Titles of the menus that start empty and are filled by the note commands.
const char *const kViewMenu = QT_TRANSLATE_NOOP("AppMenus", "&View");
const char *const kRecordingMenu = QT_TRANSLATE_NOOP("AppMenus", "&Recording");

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

// The notes text view that has the keyboard, in a note's window; null for any other widget.
WrenTextView *focusedNotes(const LumaDocumentController &controller)
{
    auto *view = qobject_cast<WrenTextView *>(QApplication::focusWidget());
    return view && controller.noteForWindow(view) ? view : nullptr;
}

// An undo manager's menu title ("Undo Typing") with its mnemonic.
QString withMnemonic(QString title)
{
    return title.replace(QLatin1Char('&'), QLatin1String("&&")).prepend(QLatin1Char('&'));
}

// The focused widget's edit command (undo, cut, ...); a note's text undoes through its note,
// and not while it may not be edited.
void sendToFocus(const char *command, LumaDocumentController &controller)
{
    QWidget *focus = QApplication::focusWidget();
    if (!focus)
        return;
    if (WrenTextView *notes = focusedNotes(controller)) {
        if (qstrcmp(command, "undo") == 0) {
            notes->undo();
            return;
        }
        if (qstrcmp(command, "redo") == 0) {
            notes->redo();
            return;
        }
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
    // Not every desktop binds keys to "Save As" and "Quit".
    menu.addAction(tr("Save &As…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), this,
                   [this] { withCurrentNote(&AppMenus::saveDocumentAs); });
    menu.addAction(tr("&Revert"), this, [this] { withCurrentNote(&AppMenus::revertDocument); });
    menu.addSeparator();
    QAction *quit = menu.addAction(tr("&Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q), this, [this] {
        if (m_application)
            m_application->terminate();
    });
    // Quit stays last whatever joins the menu later.
    quit->setObjectName(lq::MainMenu::kClosingItemName);
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
    QAction *commands[std::size(items)] = {};
    for (std::size_t i = 0; i < std::size(items); ++i) {
        const char *command = items[i].command;
        if (qstrcmp(command, "cut") == 0 || qstrcmp(command, "selectAll") == 0)
            menu.addSeparator();
        commands[i] = menu.addAction(tr(items[i].title), items[i].key, this,
                                     [this, command] { sendToFocus(command, m_controller); });
    }
    QAction *undo = commands[0];
    QAction *redo = commands[1];
    // Shown: Undo and Redo name the notes' steps ("Undo Typing") and say whether there is one.
    connect(&menu, &QMenu::aboutToShow, this,
            [this, undo, redo, undoTitle = undo->text(), redoTitle = redo->text()] {
                const WrenTextView *notes = focusedNotes(m_controller);
                const lq::UndoManager *manager =
                    notes && notes->delegate() ? notes->delegate()->undoManager() : nullptr;
                undo->setText(manager ? withMnemonic(manager->undoMenuItemTitle()) : undoTitle);
                redo->setText(manager ? withMnemonic(manager->redoMenuItemTitle()) : redoTitle);
                undo->setEnabled(!notes || notes->canUndo());
                redo->setEnabled(!notes || notes->canRedo());
            });
    // Hidden: the shortcuts reach the focused widget, which decides.
    connect(&menu, &QMenu::aboutToHide, this, [undo, redo] {
        undo->setEnabled(true);
        redo->setEnabled(true);
    });
    menu.addSeparator();
    QAction *preferences =
        menu.addAction(tr("Pr&eferences…"), QKeySequence(Qt::CTRL | Qt::Key_Comma), this, [] {
            if (AppDelegate *delegate = AppDelegate::sharedAppDelegate())
                delegate->openPreferencesWindow();
        });
    // Edit ends with Preferences whatever joins the menu later.
    preferences->setObjectName(lq::MainMenu::kClosingItemName);
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
    menu.addAction(tr("Send &Feedback…"), this,
                   [] { JXFeedbackProvider::orderFrontFeedbackWindow(); });
    menu.addSeparator();
}

void AppMenus::withCurrentNote(void (AppMenus::*what)(MyDocument &))
{
    if (MyDocument *note = m_controller.currentNote())
        (this->*what)(*note);
}

void AppMenus::showError(const QString &message, const QString &detail)
{
    lq::AlertRequest alert;
    alert.style = lq::AlertRequest::Style::Critical;
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

lq::Document::SaveDone AppMenus::tellFailure(MyDocument &note)
{
    return [this, &note](bool saved, const lq::Error &error) {
        if (!saved)
            showError(tr("The note “%1” could not be saved.").arg(note.displayName()),
                      error.descriptionWithCause());
    };
}

void AppMenus::saveDocument(MyDocument &note)
{
    if (note.fileUrl().isEmpty())
        saveDocumentAs(note);
    else
        note.save(tellFailure(note));
}

void AppMenus::saveDocumentAs(MyDocument &note)
{
    lq::FilePanel panel(lq::FilePanel::Kind::Save);
    panel.setTitle(tr("Save As"));
    panel.setAllowedExtensions({QLatin1String(MyDocument::kFileExtension)});
    note.prepareSavePanel(panel);
    if (const std::optional<QString> path = lq::PanelPresenter::current().runModal(panel))
        note.saveToUrl(*path, lq::SaveOperation::SaveAs, tellFailure(note));
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
