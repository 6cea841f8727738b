#include "document/TemporaryFolderClaim.h"

#include "platform/foundation/Log.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <unistd.h>

namespace {

// Far more than any path.
constexpr qint64 kMaxClaimBytes = 64 * 1024;

QString claimPath(const QString &folder)
{
    return QDir(folder).filePath(QLatin1String(TemporaryFolderClaim::kFileName));
}

} // namespace

QString TemporaryFolderClaim::folderName(qint64 number)
{
    return QStringLiteral("lumaquill-%1").arg(number);
}

bool TemporaryFolderClaim::isFolderName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^lumaquill-\\d+$"));
    return pattern.match(name).hasMatch();
}

std::unique_ptr<TemporaryFolderClaim> TemporaryFolderClaim::take(const QString &folder,
                                                                 bool *heldElsewhere)
{
    lq::FileLock::Outcome outcome = lq::FileLock::Outcome::Failed;
    std::unique_ptr<lq::FileLock> lock = lq::FileLock::take(claimPath(folder), &outcome);
    if (heldElsewhere)
        *heldElsewhere = outcome == lq::FileLock::Outcome::Held;
    if (!lock)
        return nullptr;
    return std::unique_ptr<TemporaryFolderClaim>(new TemporaryFolderClaim(std::move(lock), folder));
}

QString TemporaryFolderClaim::packageOf(const QString &folder)
{
    QFile file(claimPath(folder));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QFile::decodeName(file.read(kMaxClaimBytes));
}

void TemporaryFolderClaim::setPackage(const QString &package)
{
    const QByteArray bytes = QFile::encodeName(package);
    const int descriptor = m_lock->descriptor();
    if (::ftruncate(descriptor, 0) != 0 ||
        ::pwrite(descriptor, bytes.constData(), size_t(bytes.size()), 0) != bytes.size())
        lq::log(QStringLiteral("Could not name the package of %1 in its claim.\n").arg(m_folder));
}
