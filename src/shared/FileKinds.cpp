#include "shared/FileKinds.h"

#include "platform/foundation/Log.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <vector>

namespace {

// Longer chains are treated as loops, as the kernel does.
constexpr int kMaxLinkHops = 40;

std::optional<QString> readLinkTarget(const QString &path)
{
    const QByteArray encoded = QFile::encodeName(path);
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = readlink(encoded.constData(), buffer.data(), buffer.size());
        if (length < 0)
            return std::nullopt;
        if (size_t(length) < buffer.size())
            return QFile::decodeName(QByteArray(buffer.data(), length));
        buffer.resize(buffer.size() * 2);
    }
}

QString folderOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

QString joined(const QString &folder, const QString &name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// The final target, which exists; logs and answers nullopt when there is none.
std::optional<QString> resolvedOrLogged(const QString &path)
{
    std::optional<QString> target = resolveSymlinks(path);
    if (!target)
        lq::log(QStringLiteral("Could not resolve %1\n").arg(path));
    return target;
}

// Media containers the playback pipeline demuxes, with the upper-case names cameras write.
constexpr std::array kMediaExtensions{
    "mov",  "qt",   "mp4", "m4a", "m4v", "m4b", "3gp", "3g2",  "mp3",  "mp2", "mpa", "wav", "aif",
    "aiff", "aifc", "au",  "snd", "avi", "dv",  "dif", "mpg",  "mpeg", "m1v", "amr", "ac3", "MOV",
    "MP4",  "M4A",  "M4V", "3GP", "MP3", "WAV", "AIF", "AIFF", "AVI",  "DV",  "MPG", "MPEG"};

} // namespace

std::optional<QString> resolveSymlinks(const QString &path)
{
    QSet<QString> visited;
    QString current = path;
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        struct stat attributes;
        if (lstat(QFile::encodeName(current).constData(), &attributes) != 0)
            return std::nullopt;
        if (!S_ISLNK(attributes.st_mode))
            return current;
        visited.insert(current);
        const std::optional<QString> target = readLinkTarget(current);
        if (!target || target->isEmpty())
            return std::nullopt;
        current =
            target->startsWith(QLatin1Char('/')) ? *target : joined(folderOf(current), *target);
        if (visited.contains(current))
            return std::nullopt;
    }
    return std::nullopt;
}

bool isSlidesFile(const QString &path)
{
    const std::optional<QString> target = resolvedOrLogged(path);
    return target && QFileInfo(*target).suffix() == QLatin1String("pdf");
}

bool isQTFile(const QString &path)
{
    const std::optional<QString> target = resolvedOrLogged(path);
    if (!target)
        return false;
    const QString extension = QFileInfo(*target).suffix();
    for (const char *known : kMediaExtensions) {
        if (extension == QLatin1String(known))
            return true;
    }
    return false;
}
