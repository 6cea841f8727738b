#pragma once

#include <QString>
#include <QStringList>

// What moving the program into the applications folder needs of the system; the tests replace
// it. The program's "bundle" is its relocatable folder (the one holding bin/ and share/) when
// that folder's name ends with ".app"; an installed program (under /usr) has none.
class MoveToApplicationsSystem
{
public:
    virtual ~MoveToApplicationsSystem() = default;

    // The relocatable program folder; empty when the program does not run from one.
    virtual QString bundlePath() const;
    // The running executable inside the bundle, relative to it ("bin/lumaquill").
    virtual QString executableInBundle() const;
    // The applications folders of every domain: the user's ~/Applications and the local /opt.
    virtual QStringList applicationsFolders() const;
    // Where the program is moved to: the local applications folder.
    virtual QString localApplicationsFolder() const;
    virtual QStringList downloadsFolders() const;
    virtual bool isWritable(const QString &path) const;
    virtual bool exists(const QString &path) const;
    // Whether path lies on removable media (a mounted image or stick).
    virtual bool isOnRemovableMedia(const QString &path) const;
    // Moves path to the desktop's trash.
    virtual bool moveToTrash(const QString &path);
    // Copies a folder with its links and modes; false with error set on failure.
    virtual bool copyFolder(const QString &source, const QString &destination, QString *error);
    // Whether a process runs an executable inside folder.
    virtual bool isRunningInside(const QString &folder) const;
    // Runs program with arguments with administrator rights, one password prompt; answers its
    // exit status (126: the user dismissed the prompt).
    virtual int runPrivileged(const QString &program, const QStringList &arguments);
    // Starts program with arguments and does not wait for it; it outlives this process.
    virtual void startDetached(const QString &program, const QStringList &arguments);
    virtual qint64 processId() const;

    // The system every caller uses: the real one unless a test installed another.
    static MoveToApplicationsSystem &current();
    static MoveToApplicationsSystem *setCurrent(MoveToApplicationsSystem *system);
};

// At start-up: unless declined for good, offers to move the program's folder into the
// applications folder when it runs from anywhere else; on a move the new copy is started once
// this process has ended. True when the program must end now (moved, or a copy there runs).
bool PFMoveToApplicationsFolderIfNecessary();

// Moves path to the trash; logs and answers false on failure.
bool Trash(const QString &path);
