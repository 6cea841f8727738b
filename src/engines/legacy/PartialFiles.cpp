#include "engines/legacy/PartialFiles.h"

#include "engines/LQMediaFileNames.h"
#include "platform/foundation/Log.h"

#include <QFileInfo>

#include <algorithm>
#include <thread>

using namespace std::chrono_literals;

namespace {

class ReadLock
{
public:
    explicit ReadLock(RWLock &lock) : m_lock(lock) { m_lock.acquireReader(); }
    ~ReadLock() { m_lock.releaseReader(); }
    ReadLock(const ReadLock &) = delete;
    ReadLock &operator=(const ReadLock &) = delete;

private:
    RWLock &m_lock;
};

class WriteLock
{
public:
    explicit WriteLock(RWLock &lock) : m_lock(lock) { m_lock.acquireWriter(); }
    ~WriteLock() { m_lock.releaseWriter(); }
    WriteLock(const WriteLock &) = delete;
    WriteLock &operator=(const WriteLock &) = delete;

private:
    RWLock &m_lock;
};

constexpr auto kMissingFilePoll = 100ms;

} // namespace

void PartialFiles::begin(const QString &stem)
{
    WriteLock lock(m_lock);
    m_stem = stem;
    m_paths.clear();
    m_lengths = QList<double>();
}

QString PartialFiles::nextFile()
{
    WriteLock lock(m_lock);
    if (m_stem.isEmpty()) {
        lq::log(QStringLiteral("Program error creating nextFile, partialFiles = %1, file = %2\n")
                    .arg(m_paths.join(QStringLiteral(", ")), m_stem));
        return {};
    }
    const QString path = LQMediaFileNames::fileName(m_stem, int(m_number++));
    m_paths.append(path);
    return path;
}

QStringList PartialFiles::paths() const
{
    ReadLock lock(m_lock);
    return m_paths;
}

QStringList PartialFiles::names(bool checkMissing) const
{
    ReadLock lock(m_lock);
    QStringList names;
    const auto deadline = std::chrono::steady_clock::now() + m_missingWait;
    for (qsizetype i = m_paths.size() - 1; i >= 0; --i) {
        const QString &path = m_paths[i];
        bool present = !checkMissing || QFileInfo::exists(path);
        if (!present) {
            lq::log(QStringLiteral("File %1 is missing while writingFile=0, waiting to see if it "
                                   "shows up\n")
                        .arg(path));
            const auto since = std::chrono::steady_clock::now();
            while (!present && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(kMissingFilePoll);
                present = QFileInfo::exists(path);
            }
            if (present) {
                const std::chrono::duration<double> waited =
                    std::chrono::steady_clock::now() - since;
                lq::log(QStringLiteral("Found file after %1 seconds\n").arg(waited.count()));
            }
        }
        if (present)
            names.prepend(QFileInfo(path).fileName());
        else
            lq::log(QStringLiteral("Never started recording to %1 due to error\n").arg(path));
    }
    return names;
}

std::optional<QList<double>> PartialFiles::lengths() const
{
    ReadLock lock(m_lock);
    return m_lengths;
}

double PartialFiles::lengthOfAllButLast() const
{
    ReadLock lock(m_lock);
    double total = 0.0;
    const qsizetype earlier = m_lengths ? std::min(m_paths.size() - 1, m_lengths->size()) : 0;
    for (qsizetype i = 0; i < earlier; ++i)
        total += (*m_lengths)[i];
    return total;
}

void PartialFiles::appendProvisionalLength(double seconds)
{
    WriteLock lock(m_lock);
    if (m_lengths)
        m_lengths->append(seconds);
}

bool PartialFiles::setFinishedLength(const QString &path, double seconds)
{
    WriteLock lock(m_lock);
    const qsizetype index = m_paths.lastIndexOf(path);
    if (index < 0 || !m_lengths)
        return false;
    if (index < m_lengths->size()) {
        (*m_lengths)[index] = seconds;
    } else if (index == m_lengths->size()) {
        m_lengths->append(seconds);
    } else {
        lq::log(QStringLiteral("Program error, recording files lengths are inconsistent. There "
                               "are %1 but there should be %2\n")
                    .arg(m_lengths->size())
                    .arg(index));
        return false;
    }
    return true;
}

void PartialFiles::replaceByFirstLocked(qsizetype count, double total)
{
    m_paths.remove(1, count - 1);
    if (m_lengths) {
        m_lengths->remove(0, std::min(count, m_lengths->size()));
        m_lengths->prepend(total);
    }
}
