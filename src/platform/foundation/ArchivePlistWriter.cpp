#include "platform/foundation/ArchivePlistWriter.h"

#include "platform/foundation/ArchivePlistFormat.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace lq {

using namespace archive_plist;

namespace {

void appendBigEndian(std::string &out, uint64_t value, int size)
{
    char bytes[8];
    writeBigEndian(bytes, value, size);
    out.append(bytes, static_cast<size_t>(size));
}

void appendInteger(std::string &out, int64_t value)
{
    const auto bits = static_cast<uint64_t>(value);
    const int size = value < 0 ? 8 : unsignedByteCount(bits);
    out.push_back(static_cast<char>(kInteger | sizeExponent(size)));
    appendBigEndian(out, bits, size);
}

void appendMarker(std::string &out, uint8_t marker, uint64_t count)
{
    if (count < kInlineSizeLimit) {
        out.push_back(static_cast<char>(marker | count));
        return;
    }
    out.push_back(static_cast<char>(marker | kInlineSizeLimit));
    appendInteger(out, static_cast<int64_t>(count));
}

// The fewest bytes, 1 to 4 or 8, that hold an offset or a reference.
int byteCount(uint64_t value)
{
    int size = 1;
    while (size < 4 && value >> (8 * size) != 0)
        ++size;
    return value >> 32 ? 8 : size;
}

uint64_t markerSize(uint64_t count)
{
    if (count < kInlineSizeLimit)
        return 1;
    return 2 + static_cast<uint64_t>(unsignedByteCount(count));
}

char *writeMarker(char *out, uint8_t marker, uint64_t count)
{
    if (count < kInlineSizeLimit) {
        *out = static_cast<char>(marker | count);
        return out + 1;
    }
    const int size = unsignedByteCount(count);
    out[0] = static_cast<char>(marker | kInlineSizeLimit);
    out[1] = static_cast<char>(kInteger | sizeExponent(size));
    writeBigEndian(out + 2, count, size);
    return out + 2 + size;
}

uint64_t hashBytes(const char *bytes, size_t size)
{
    uint64_t hash = 14695981039346656037ull; // FNV-1a
    for (size_t i = 0; i < size; ++i) {
        hash ^= static_cast<unsigned char>(bytes[i]);
        hash *= 1099511628211ull;
    }
    // Mixes the high bits into the low ones, which pick the slot.
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdull;
    hash ^= hash >> 33;
    return hash;
}

} // namespace

ArchivePlistWriter::Ref ArchivePlistWriter::boolean(bool value)
{
    const size_t start = m_scalarBytes.size();
    m_scalarBytes.push_back(static_cast<char>(value ? kTrue : kFalse));
    return internScalar(start);
}

ArchivePlistWriter::Ref ArchivePlistWriter::integer(int64_t value)
{
    const size_t start = m_scalarBytes.size();
    appendInteger(m_scalarBytes, value);
    return internScalar(start);
}

ArchivePlistWriter::Ref ArchivePlistWriter::real(double value)
{
    const size_t start = m_scalarBytes.size();
    m_scalarBytes.push_back(static_cast<char>(kReal | 3));
    appendBigEndian(m_scalarBytes, std::bit_cast<uint64_t>(value), 8);
    return internScalar(start);
}

ArchivePlistWriter::Ref ArchivePlistWriter::real32(float value)
{
    const size_t start = m_scalarBytes.size();
    m_scalarBytes.push_back(static_cast<char>(kReal | 2));
    appendBigEndian(m_scalarBytes, std::bit_cast<uint32_t>(value), 4);
    return internScalar(start);
}

ArchivePlistWriter::Ref ArchivePlistWriter::string(QStringView value)
{
    const size_t start = m_scalarBytes.size();
    const auto count = static_cast<uint64_t>(value.size());
    const bool ascii =
        std::all_of(value.begin(), value.end(), [](QChar c) { return c.unicode() < 0x80; });
    appendMarker(m_scalarBytes, ascii ? kAsciiString : kUtf16String, count);
    const size_t payload = m_scalarBytes.size();
    m_scalarBytes.resize(payload + count * (ascii ? 1 : 2));
    char *out = m_scalarBytes.data() + payload;
    for (QChar c : value) {
        if (ascii) {
            *out++ = static_cast<char>(c.unicode());
        } else {
            writeBigEndian(out, c.unicode(), 2);
            out += 2;
        }
    }
    return internScalar(start);
}

ArchivePlistWriter::Ref ArchivePlistWriter::data(QByteArrayView value)
{
    const size_t start = m_scalarBytes.size();
    appendMarker(m_scalarBytes, kData, static_cast<uint64_t>(value.size()));
    m_scalarBytes.append(value.data(), static_cast<size_t>(value.size()));
    return internScalar(start);
}

ArchivePlistWriter::Ref ArchivePlistWriter::uid(uint64_t value)
{
    // Numbers of archived objects are dense: a table by value finds each one written before.
    const bool indexed = value < kIndexedUidLimit;
    if (indexed && value < m_uidRefs.size() && m_uidRefs[value] != 0)
        return m_uidRefs[value] - 1;
    const size_t start = m_scalarBytes.size();
    const int size = unsignedByteCount(value);
    m_scalarBytes.push_back(static_cast<char>(kUid | (size - 1)));
    appendBigEndian(m_scalarBytes, value, size);
    const Ref ref = internScalar(start);
    if (indexed) {
        if (value >= m_uidRefs.size())
            m_uidRefs.resize(value + 1);
        m_uidRefs[value] = ref + 1;
    }
    return ref;
}

ArchivePlistWriter::Ref ArchivePlistWriter::array(std::span<const Ref> items)
{
    m_containerStarts.push_back(m_refs.size());
    m_refs.insert(m_refs.end(), items.begin(), items.end());
    return kContainerBit | static_cast<Ref>(m_containerStarts.size() - 1);
}

ArchivePlistWriter::Ref ArchivePlistWriter::dictionary(std::span<const Entry> entries)
{
    m_containerStarts.push_back(m_refs.size() | kDictionaryFlag);
    for (const Entry &entry : entries)
        m_refs.push_back(entry.first);
    for (const Entry &entry : entries)
        m_refs.push_back(entry.second);
    return kContainerBit | static_cast<Ref>(m_containerStarts.size() - 1);
}

ArchivePlistWriter::Ref ArchivePlistWriter::internScalar(size_t start)
{
    const char *bytes = m_scalarBytes.data() + start;
    const size_t size = m_scalarBytes.size() - start;
    const auto hash = static_cast<uint32_t>(hashBytes(bytes, size));
    ScalarSlot &slot = m_recentScalars[hash & (kRecentScalarSlots - 1)];
    if (slot.refPlusOne != 0 && slot.hash == hash) {
        // The scalar being added lies at the end, after every kept one.
        const Ref other = slot.refPlusOne - 1;
        const uint64_t otherStart = m_scalarStarts[other];
        const uint64_t otherEnd =
            other + 1 < m_scalarStarts.size() ? m_scalarStarts[other + 1] : start;
        if (otherEnd - otherStart == size &&
            std::memcmp(m_scalarBytes.data() + otherStart, bytes, size) == 0) {
            m_scalarBytes.resize(start);
            return other;
        }
    }
    m_scalarStarts.push_back(start);
    slot = {static_cast<Ref>(m_scalarStarts.size()), hash};
    return slot.refPlusOne - 1;
}

ArchivePlistWriter::Container ArchivePlistWriter::container(size_t index) const
{
    const uint64_t first = m_containerStarts[index] & ~kDictionaryFlag;
    const uint64_t end = index + 1 < m_containerStarts.size()
                             ? m_containerStarts[index + 1] & ~kDictionaryFlag
                             : m_refs.size();
    return {first, end - first, (m_containerStarts[index] & kDictionaryFlag) != 0};
}

QByteArray ArchivePlistWriter::finish(Ref root) const
{
    // The scalars come first, as written; then the containers.
    const uint64_t scalarCount = m_scalarStarts.size();
    const uint64_t objectCount = scalarCount + m_containerStarts.size();
    const int refSize = byteCount(objectCount);
    auto objectNumber = [scalarCount](Ref ref) -> uint64_t {
        return ref & kContainerBit ? scalarCount + (ref & ~kContainerBit) : ref;
    };
    auto containerSize = [refSize](const Container &container) {
        return markerSize(container.itemCount()) + container.refCount * refSize;
    };

    const uint64_t containersOffset = kMagicSize + m_scalarBytes.size();
    uint64_t lastOffset = kMagicSize + (scalarCount ? m_scalarStarts.back() : 0);
    uint64_t offsetTableOffset = containersOffset;
    for (size_t i = 0; i < m_containerStarts.size(); ++i) {
        lastOffset = offsetTableOffset;
        offsetTableOffset += containerSize(container(i));
    }
    const int offsetSize = byteCount(lastOffset);

    QByteArray bytes(
        static_cast<qsizetype>(offsetTableOffset + objectCount * offsetSize + kTrailerSize),
        Qt::Uninitialized);
    char *out = bytes.data();
    std::memcpy(out, kMagic, kMagicSize);
    out += kMagicSize;
    std::memcpy(out, m_scalarBytes.data(), m_scalarBytes.size());
    out += m_scalarBytes.size();
    for (size_t i = 0; i < m_containerStarts.size(); ++i) {
        const Container items = container(i);
        out = writeMarker(out, items.isDictionary ? kDictionary : kArray, items.itemCount());
        for (uint64_t ref = items.firstRef; ref < items.firstRef + items.refCount; ++ref) {
            writeBigEndian(out, objectNumber(m_refs[ref]), refSize);
            out += refSize;
        }
    }
    for (uint64_t start : m_scalarStarts) {
        writeBigEndian(out, kMagicSize + start, offsetSize);
        out += offsetSize;
    }
    uint64_t offset = containersOffset;
    for (size_t i = 0; i < m_containerStarts.size(); ++i) {
        writeBigEndian(out, offset, offsetSize);
        out += offsetSize;
        offset += containerSize(container(i));
    }
    std::memset(out, 0, 6);
    out[6] = static_cast<char>(offsetSize);
    out[7] = static_cast<char>(refSize);
    writeBigEndian(out + 8, objectCount, 8);
    writeBigEndian(out + 16, objectNumber(root), 8);
    writeBigEndian(out + 24, offsetTableOffset, 8);
    return bytes;
}

} // namespace lq
