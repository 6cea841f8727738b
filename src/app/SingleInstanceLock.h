#pragma once

#include <QString>

// The lock that lets one copy of the program run per user: a POSIX record lock on a file in the
// program's data folder. The lock lives as long as the descriptor stays open; release() closes
// it and deletes the file, so a copy that ends normally leaves nothing behind.
class SingleInstanceLock
{
public:
    enum class Outcome {
        Taken,     // this copy holds the lock now
        Held,      // another process holds it
        NoLockFile // no lock could be taken (the file cannot be opened or locked): run without
    };

    SingleInstanceLock() = default;
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock &) = delete;
    SingleInstanceLock &operator=(const SingleInstanceLock &) = delete;

    // Opens path (creating it 0644 when missing) and tries to lock it without waiting. Called
    // once; existed tells whether the file was already there.
    Outcome acquire(const QString &path, bool *existed = nullptr);
    // Closes and deletes the lock file; later calls do nothing.
    void release();

    int fd() const { return m_fd; }
    QString path() const { return m_path; }

private:
    int m_fd = -1;
    QString m_path;
};
