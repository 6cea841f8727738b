#pragma once

#include "model/RWLock.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

// The numbered movie files one recording session is written into, in recording order, with the
// length of each finished one. Entry i of the lengths belongs to file i; outside a file switch
// every file but the last (the one being written) has one. Numbers count on across sessions.
// Any thread: every call takes the readers/writer lock, which a join also holds (a read lock
// taken on the main thread and released on the join's thread) while it works.
class PartialFiles
{
public:
    // How long a listing waits, for all missing files together, before it leaves them out.
    static constexpr std::chrono::milliseconds kMissingFileWait{5100};

    // A new session named by stem: empty lists, numbering goes on.
    void begin(const QString &stem);
    // Registers and answers the path of the next file; empty without a session.
    QString nextFile();
    QStringList paths() const;
    // The file names in order. With checkMissing, files absent from the disk are waited for (at
    // most kMissingFileWait in all) and then left out.
    QStringList names(bool checkMissing) const;
    // None before the first session.
    std::optional<QList<double>> lengths() const;
    double lengthOfAllButLast() const;
    // The file being left at a switch counts with its length so far until it is finished.
    void appendProvisionalLength(double seconds);
    // The exact length of a finished file; false when the lists disagree with it.
    bool setFinishedLength(const QString &path, double seconds);

    // The join's part. The caller holds the write lock: the first `count` files become the
    // first one, which is `total` seconds long.
    void replaceByFirstLocked(qsizetype count, double total);
    QStringList pathsLocked() const { return m_paths; }
    QList<double> lengthsLocked() const { return m_lengths.value_or(QList<double>()); }
    RWLock &lock() { return m_lock; }

    void setMissingFileWait(std::chrono::milliseconds wait) { m_missingWait = wait; }

private:
    mutable RWLock m_lock;
    QString m_stem;
    QStringList m_paths;
    std::optional<QList<double>> m_lengths;
    quint32 m_number = 0;
    std::chrono::milliseconds m_missingWait = kMissingFileWait;
};
