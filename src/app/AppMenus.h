#pragma once

#include "platform/document/Document.h"

#include <QObject>

class LQApplication;
class LumaDocumentController;
class MyDocument;
class QMenu;

namespace lq {
class MainMenu;
}

// The program's menus in the shared main menu, in the order of a Linux desktop: File, Edit,
// View, Recording, Window, Help. File and Edit reach the active note (Edit: the focused text
// field); View and Recording start empty for the note commands. Main thread only.
class AppMenus final : public QObject
{
    Q_OBJECT
public:
    AppMenus(lq::MainMenu &mainMenu, LumaDocumentController &controller, LQApplication *application,
             QObject *parent = nullptr);

    // File
    void newDocument();
    void openDocument();
    void closeDocument();
    // The save runs on while the window takes keys; a failure is told in an alert.
    void saveDocument(MyDocument &note);
    void saveDocumentAs(MyDocument &note);
    void revertDocument(MyDocument &note);

private:
    void buildFileMenu(QMenu &menu);
    void buildEditMenu(QMenu &menu);
    void buildWindowMenu(QMenu &menu);
    void buildHelpMenu(QMenu &menu);
    // Runs what on the active note, if there is one.
    void withCurrentNote(void (AppMenus::*what)(MyDocument &));
    void showError(const QString &message, const QString &detail);
    // What a save of note ended with: an alert when it failed.
    lq::Document::SaveDone tellFailure(MyDocument &note);

    LumaDocumentController &m_controller;
    LQApplication *m_application;
};
