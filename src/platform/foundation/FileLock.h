#pragma once

#include <QString>

#include <memory>

namespace lq {

// An exclusive lock (flock) on a file, held while the object lives. The lock belongs to the open
// file, so a second lock on the same file is refused within this process too. The file is made
// (0600) when missing and is never removed here.
class FileLock
{
public:
    enum class Outcome {
        Taken,
        Held,  // another holder has it, or the file was removed or replaced while it was locked
        Failed // the file cannot be opened or locked
    };

    // The lock on path; null, with outcome, when it is not taken.
    static std::unique_ptr<FileLock> take(const QString &path, Outcome *outcome = nullptr);
    // Whether descriptor is still the file at path: a lock on a file removed since it was opened
    // keeps nobody out.
    static bool isFileAt(int descriptor, const QString &path);

    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    int descriptor() const { return m_descriptor; }

private:
    explicit FileLock(int descriptor) : m_descriptor(descriptor) {}

    int m_descriptor;
};

} // namespace lq
