#include "support/SmallTmpfs.h"

#include <QDir>

#include <sys/mount.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace lq::test {

SmallTmpfs::SmallTmpfs(qint64 sizeBytes)
{
    QByteArray pattern = QDir::temp().filePath(QStringLiteral("lq-tmpfs-XXXXXX")).toLocal8Bit();
    if (!mkdtemp(pattern.data())) {
        m_whyNot = QStringLiteral("Cannot make a mount point: %1.")
                       .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    m_path = QString::fromLocal8Bit(pattern);
    const QByteArray options = "size=" + QByteArray::number(sizeBytes);
    if (mount("tmpfs", pattern.constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) !=
        0) {
        m_whyNot = QStringLiteral("Cannot mount a small tmpfs here (%1); this needs root.")
                       .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    m_mounted = true;
}

SmallTmpfs::~SmallTmpfs()
{
    if (m_path.isEmpty()) {
        return;
    }
    const QByteArray path = m_path.toLocal8Bit();
    if (m_mounted) {
        umount2(path.constData(), MNT_DETACH);
    }
    QDir(m_path).removeRecursively();
}

} // namespace lq::test
