#pragma once

#include "platform/media/MovieSamples.h"

#include <QByteArray>
#include <QList>

#include <cstdint>

class QIODevice;

namespace lq::movie {

// The bytes of a movie file that hold the data of some samples: from the first byte of one to
// the last byte of another, with whatever lies between them.
class DataSpan
{
public:
    // Widens the span over the samples that hold data; false when one lies beyond fileSize.
    bool add(const QList<TrackSample> &samples, qint64 fileSize);
    bool isEmpty() const { return m_end == 0; }
    uint64_t begin() const { return isEmpty() ? 0 : m_begin; }
    uint64_t end() const { return m_end; }
    uint64_t size() const { return m_end - begin(); }

private:
    uint64_t m_begin = UINT64_MAX;
    uint64_t m_end = 0;
};

// The header of an mdat box holding size bytes, in its 16-byte form.
constexpr int kWideMediaDataHeader = 16;
QByteArray mediaDataHeader(uint64_t size);

enum class CopyResult { Copied, ReadFailed, WriteFailed };
// Copies span of from to where to stands, in blocks of bounded size.
CopyResult copySpan(QIODevice &from, const DataSpan &span, QIODevice &to);

} // namespace lq::movie
