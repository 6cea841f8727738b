#pragma once

#include <QString>
#include <QStringList>

#include <thread>

class LQRecSession;
class PartialFiles;

// Joins a long session's partial files, all but the one being written, into its first file on a
// thread of its own, by copying their samples. The list stays as it is while the join runs: it
// holds the list's read lock from start() on the calling thread to its end on its own thread.
// Only this join ever upgrades that lock; a second upgrading reader would wait for ever.
//
// A cancel (a save) stops it between files or during the write and leaves no temporary file.
// The joined file replaces the first one in one step before any other file is deleted: a
// failure anywhere leaves every partial file and the lists as they were.
class PartialFileJoin
{
public:
    // Fewer files than this are left alone.
    static constexpr qsizetype kThreshold = 13;

    // The engine's merging and cancelMerging flags tell and steer the join.
    PartialFileJoin(PartialFiles &files, LQRecSession &engine);
    // Cancels a running join and waits for it to end.
    ~PartialFileJoin();
    PartialFileJoin(const PartialFileJoin &) = delete;
    PartialFileJoin &operator=(const PartialFileJoin &) = delete;

    // Starts a join when the list is long enough and none runs; answers whether it started.
    bool start();
    // Waits until a running join has ended.
    void wait();

    // Where the joined file is written before it replaces the first one.
    static QString temporaryPath(const QString &first) { return first + QStringLiteral("-tmp"); }

private:
    void run(const QStringList &parts);
    bool write(const QStringList &parts, const QString &temporary);
    void commit(const QStringList &parts, const QString &temporary);

    PartialFiles &m_files;
    LQRecSession &m_engine;
    std::thread m_thread;
};
