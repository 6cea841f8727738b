#include "platform/media/MovieData.h"

#include "platform/media/MovieBoxWriter.h"

#include <QIODevice>

#include <algorithm>

namespace lq::movie {
namespace {

constexpr qint64 kCopyBlock = 1024 * 1024;

} // namespace

bool DataSpan::add(const QList<TrackSample> &samples, qint64 fileSize)
{
    for (const TrackSample &sample : samples) {
        if (sample.offset > uint64_t(fileSize) || sample.size > uint64_t(fileSize) - sample.offset)
            return false;
        if (sample.size == 0)
            continue;
        m_begin = std::min(m_begin, sample.offset);
        m_end = std::max(m_end, sample.offset + sample.size);
    }
    return true;
}

QByteArray mediaDataHeader(uint64_t size)
{
    BoxWriter header;
    header.u32(1);
    header.bytes("mdat");
    header.u64(kWideMediaDataHeader + size);
    return header.data();
}

CopyResult copySpan(QIODevice &from, const DataSpan &span, QIODevice &to)
{
    if (span.isEmpty())
        return CopyResult::Copied;
    if (!from.seek(qint64(span.begin())))
        return CopyResult::ReadFailed;
    for (uint64_t left = span.size(); left > 0;) {
        const QByteArray block = from.read(qint64(std::min<uint64_t>(left, kCopyBlock)));
        if (block.isEmpty())
            return CopyResult::ReadFailed;
        if (to.write(block) != block.size())
            return CopyResult::WriteFailed;
        left -= uint64_t(block.size());
    }
    return CopyResult::Copied;
}

} // namespace lq::movie
