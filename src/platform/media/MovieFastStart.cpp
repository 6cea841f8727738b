#include "platform/media/MovieFastStart.h"

#include "platform/foundation/FileOperations.h"
#include "platform/media/MovieBoxes.h"

#include <QFile>
#include <QList>
#include <QtEndian>

namespace lq {

namespace {

constexpr qint64 kLargestIndex = qint64(256) << 20;
constexpr qint64 kCopyBlock = qint64(1) << 20;

Error fastStartError(const QString &path)
{
    return Error(
        QStringLiteral("media"), 0,
        QStringLiteral("The index of the movie “%1” could not be moved to its front.").arg(path));
}

// Adds shift to every chunk offset of every track; false when one would not fit its field.
bool shiftChunkOffsets(QByteArray &moov, const movie::Box &top, qint64 shift)
{
    for (const movie::Box &trak : movie::childBoxes(moov, top)) {
        if (trak.type != "trak")
            continue;
        const std::optional<movie::Box> stbl =
            movie::findPath(moov, trak, {"mdia", "minf", "stbl"});
        if (!stbl)
            continue;
        for (const movie::Box &table : movie::childBoxes(moov, *stbl)) {
            const int width = table.type == "stco" ? 4 : table.type == "co64" ? 8 : 0;
            if (width == 0)
                continue;
            movie::Reader reader(moov, table.content + 4, table.end);
            const uint32_t count = reader.u32();
            if (reader.failed() || reader.remaining() < qint64(count) * width)
                return false;
            uchar *entry = reinterpret_cast<uchar *>(moov.data()) + reader.at();
            for (uint32_t i = 0; i < count; ++i, entry += width) {
                if (width == 4) {
                    const uint64_t moved =
                        uint64_t(qFromBigEndian<uint32_t>(entry)) + uint64_t(shift);
                    if (moved > UINT32_MAX)
                        return false;
                    qToBigEndian<uint32_t>(uint32_t(moved), entry);
                } else {
                    qToBigEndian<uint64_t>(qFromBigEndian<uint64_t>(entry) + uint64_t(shift),
                                           entry);
                }
            }
        }
    }
    return true;
}

bool copyRange(QFile &from, QFile &to, qint64 begin, qint64 end)
{
    if (!from.seek(begin))
        return false;
    for (qint64 at = begin; at < end;) {
        const QByteArray block = from.read(std::min(kCopyBlock, end - at));
        if (block.isEmpty() || to.write(block) != block.size())
            return false;
        at += block.size();
    }
    return true;
}

} // namespace

bool moveMovieIndexToFront(const QString &path, Error *error)
{
    QFile movieFile(path);
    if (!movieFile.open(QIODevice::ReadOnly)) {
        setError(error, fastStartError(path).withFailureReason(movieFile.errorString()));
        return false;
    }
    QList<movie::Box> boxes;
    for (std::optional<movie::Box> box = movie::readTopLevelBox(movieFile, 0); box;
         box = movie::readTopLevelBox(movieFile, box->end))
        boxes.append(*box);
    const std::optional<movie::Box> index = movie::find(boxes, "moov");
    const std::optional<movie::Box> data = movie::find(boxes, "mdat");
    if (!index || index->end - index->begin > kLargestIndex) {
        setError(error, fastStartError(path));
        return false;
    }
    if (!data || index->begin < data->begin)
        return true;

    movieFile.seek(index->begin);
    QByteArray moov = movieFile.read(index->end - index->begin);
    const movie::Box top{index->type, 0, index->content - index->begin, moov.size()};
    if (moov.size() != index->end - index->begin || !shiftChunkOffsets(moov, top, moov.size())) {
        setError(error, fastStartError(path));
        return false;
    }
    const QString temporary = temporaryPathBeside(path);
    QFile out(temporary);
    bool written = out.open(QIODevice::WriteOnly | QIODevice::NewOnly);
    for (const movie::Box &box : boxes) {
        if (!written || box.type == "moov")
            continue;
        if (box.begin == data->begin)
            written = out.write(moov) == moov.size();
        written = written && copyRange(movieFile, out, box.begin, box.end);
    }
    written = written && out.flush();
    out.close();
    if (!written || !FileOperations::current().replace(temporary, path, error)) {
        QFile::remove(temporary);
        if (!written)
            setError(error, fastStartError(path).withFailureReason(out.errorString()));
        return false;
    }
    return true;
}

} // namespace lq
