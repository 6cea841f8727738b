#include "engines/legacy/PartialFileJoin.h"

#include "engines/LQRecSession.h"
#include "engines/legacy/PartialFiles.h"
#include "platform/foundation/FileOperations.h"
#include "platform/foundation/Log.h"
#include "platform/media/MovieCutter.h"

#include <QFile>
#include <QFileInfo>

#include <limits>

namespace {

// A file whose writes fail once the join is cancelled, so that a long copy stops soon.
class CancellableFile final : public QFile
{
public:
    CancellableFile(const QString &path, const LQRecSession &engine) : QFile(path), m_engine(engine)
    {}

protected:
    qint64 writeData(const char *data, qint64 size) override
    {
        if (m_engine.cancelMerging()) {
            setErrorString(QStringLiteral("The join was cancelled"));
            return -1;
        }
        return QFile::writeData(data, size);
    }

private:
    const LQRecSession &m_engine;
};

} // namespace

PartialFileJoin::PartialFileJoin(PartialFiles &files, LQRecSession &engine)
    : m_files(files), m_engine(engine)
{}

PartialFileJoin::~PartialFileJoin()
{
    m_engine.setCancelMerging(true);
    wait();
}

void PartialFileJoin::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

bool PartialFileJoin::start()
{
    if (m_engine.merging())
        return false;
    wait();
    m_engine.setCancelMerging(false);
    m_files.lock().acquireReader();
    const QStringList paths = m_files.pathsLocked();
    if (paths.size() < kThreshold) {
        m_files.lock().releaseReader();
        return false;
    }
    m_engine.setMerging(true);
    m_thread = std::thread([this, parts = paths.mid(0, paths.size() - 1)] { run(parts); });
    return true;
}

void PartialFileJoin::run(const QStringList &parts)
{
    const QString temporary = temporaryPath(parts.first());
    if (write(parts, temporary)) {
        m_files.lock().upgradeToWriter();
        // A save that came after the write has taken the list as it was: it stays.
        if (m_engine.cancelMerging())
            QFile::remove(temporary);
        else
            commit(parts, temporary);
        m_files.lock().downgradeToReader();
    }
    m_engine.setMerging(false);
    m_files.lock().releaseReader();
}

bool PartialFileJoin::write(const QStringList &parts, const QString &temporary)
{
    CancellableFile output(temporary, m_engine);
    if (m_engine.cancelMerging() || !output.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    lq::Error error;
    lq::MovieCutter::Movie movie;
    const lq::MovieCutter::Outcome outcome =
        lq::MovieCutter::write(parts, std::numeric_limits<double>::max(), output,
                               QFileInfo(parts.first()).fileName(), &movie, &error);
    const bool written = outcome == lq::MovieCutter::Outcome::Written && output.flush();
    output.close();
    if (written && !m_engine.cancelMerging())
        return true;
    if (!m_engine.cancelMerging()) {
        lq::log(QStringLiteral("Failed to write merged file, error = %1\n")
                    .arg(outcome == lq::MovieCutter::Outcome::NotJoinable
                             ? QStringLiteral("the files cannot be joined by copying")
                             : error.localizedDescription()));
    }
    QFile::remove(temporary);
    return false;
}

void PartialFileJoin::commit(const QStringList &parts, const QString &temporary)
{
    lq::FileOperations &files = lq::FileOperations::current();
    lq::Error error;
    if (!files.replace(temporary, parts.first(), &error)) {
        lq::log(QStringLiteral("Failed to move the merged file over %1, the partial files stay: "
                               "%2\n")
                    .arg(parts.first(), error.localizedDescription()));
        files.remove(temporary, nullptr);
        return;
    }
    const QList<double> lengths = m_files.lengthsLocked();
    double total = 0.0;
    for (qsizetype i = 0; i < parts.size() && i < lengths.size(); ++i)
        total += lengths[i];
    for (qsizetype i = 1; i < parts.size(); ++i) {
        if (!files.remove(parts[i], &error)) {
            lq::log(QStringLiteral("Failed to remove partialFile %1 during merge, error: %2\n "
                                   "continuing anyway\n")
                        .arg(parts[i], error.localizedDescription()));
        }
    }
    m_files.replaceByFirstLocked(parts.size(), total);
}
