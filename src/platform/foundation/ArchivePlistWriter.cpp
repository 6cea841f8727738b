#include "platform/foundation/ArchivePlistWriter.h"

#include "platform/foundation/ArchivePlistFormat.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <type_traits>

namespace lq {

using namespace archive_plist;

namespace {

void appendMarker(std::string &out, uint8_t marker, uint64_t count)
{
    if (count < kInlineSizeLimit) {
        out.push_back(static_cast<char>(marker | count));
        return;
    }
    const int size = unsignedByteCount(count);
    char bytes[10] = {static_cast<char>(marker | kInlineSizeLimit),
                      static_cast<char>(kInteger | sizeExponent(size))};
    writeBigEndian(bytes + 2, count, size);
    out.append(bytes, static_cast<size_t>(2 + size));
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

// The size of a scalar as written here, from its marker.
size_t scalarSize(const char *scalar)
{
    const auto marker = static_cast<uint8_t>(scalar[0]);
    const int low = marker & 0x0F;
    switch (marker & 0xF0) {
    case kInteger:
    case kReal:
        return 1 + (size_t(1) << low);
    case kUid:
        return 2 + low;
    case kData:
    case kAsciiString:
    case kUtf16String: {
        uint64_t count = low;
        size_t header = 1;
        if (low == kInlineSizeLimit) {
            const int size = 1 << (scalar[1] & 0x0F);
            count = readBigEndian(reinterpret_cast<const unsigned char *>(scalar) + 2, size);
            header = 2 + size;
        }
        return header + count * ((marker & 0xF0) == kUtf16String ? 2 : 1);
    }
    default: // false, true
        return 1;
    }
}

uint64_t hashBytes(const char *bytes, size_t size)
{
    auto mix = [](uint64_t hash, uint64_t word) {
        hash = (hash ^ word) * 0xff51afd7ed558ccdull;
        return hash ^ (hash >> 32);
    };
    uint64_t hash = size * 0x9E3779B97F4A7C15ull;
    for (; size >= 8; bytes += 8, size -= 8) {
        uint64_t word;
        std::memcpy(&word, bytes, 8);
        hash = mix(hash, word);
    }
    uint64_t tail = 0;
    for (size_t i = 0; i < size; ++i)
        tail |= uint64_t(static_cast<unsigned char>(bytes[i])) << (8 * i);
    return mix(hash, tail);
}

// Runs body with the size as a constant, so that loops writing numbers of that size unroll.
template <class Body>
void withConstantSize(int size, Body body)
{
    switch (size) {
    case 1:
        return body(std::integral_constant<int, 1>());
    case 2:
        return body(std::integral_constant<int, 2>());
    case 3:
        return body(std::integral_constant<int, 3>());
    case 4:
        return body(std::integral_constant<int, 4>());
    default:
        return body(std::integral_constant<int, 8>());
    }
}

} // namespace

ArchivePlistWriter::Ref ArchivePlistWriter::fixedScalar(uint8_t marker, uint64_t value, int size)
{
    char bytes[9];
    bytes[0] = static_cast<char>(marker);
    writeBigEndian(bytes + 1, value, size);
    return internScalar(std::string_view(bytes, static_cast<size_t>(1 + size)));
}

ArchivePlistWriter::Ref ArchivePlistWriter::boolean(bool value)
{
    return fixedScalar(value ? kTrue : kFalse, 0, 0);
}

ArchivePlistWriter::Ref ArchivePlistWriter::integer(int64_t value)
{
    const auto bits = static_cast<uint64_t>(value);
    const int size = value < 0 ? 8 : unsignedByteCount(bits);
    return fixedScalar(kInteger | sizeExponent(size), bits, size);
}

ArchivePlistWriter::Ref ArchivePlistWriter::real(double value)
{
    return fixedScalar(kReal | 3, std::bit_cast<uint64_t>(value), 8);
}

ArchivePlistWriter::Ref ArchivePlistWriter::real32(float value)
{
    return fixedScalar(kReal | 2, std::bit_cast<uint32_t>(value), 4);
}

ArchivePlistWriter::Ref ArchivePlistWriter::string(QStringView value)
{
    const auto count = static_cast<uint64_t>(value.size());
    const bool ascii =
        std::all_of(value.begin(), value.end(), [](QChar c) { return c.unicode() < 0x80; });
    m_scratch.clear();
    appendMarker(m_scratch, ascii ? kAsciiString : kUtf16String, count);
    const size_t payload = m_scratch.size();
    m_scratch.resize(payload + count * (ascii ? 1 : 2));
    char *out = m_scratch.data() + payload;
    for (QChar c : value) {
        if (ascii) {
            *out++ = static_cast<char>(c.unicode());
        } else {
            writeBigEndian(out, c.unicode(), 2);
            out += 2;
        }
    }
    return internScalar(m_scratch);
}

ArchivePlistWriter::Ref ArchivePlistWriter::data(QByteArrayView value)
{
    m_scratch.clear();
    appendMarker(m_scratch, kData, static_cast<uint64_t>(value.size()));
    m_scratch.append(value.data(), static_cast<size_t>(value.size()));
    return internScalar(m_scratch);
}

ArchivePlistWriter::Ref ArchivePlistWriter::uid(uint64_t value)
{
    // Numbers of archived objects are dense: a table by value finds each one written before.
    const bool indexed = value < kIndexedUidLimit;
    if (indexed && value < m_uidRefs.size() && m_uidRefs[value] != 0)
        return m_uidRefs[value] - 1;
    const int size = unsignedByteCount(value);
    const Ref ref = fixedScalar(kUid | (size - 1), value, size);
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

ArchivePlistWriter::Ref ArchivePlistWriter::internScalar(std::string_view bytes)
{
    const auto hash = static_cast<uint32_t>(hashBytes(bytes.data(), bytes.size()));
    ScalarSlot &slot = m_recentScalars[hash & (kRecentScalarSlots - 1)];
    if (slot.refPlusOne != 0 && slot.hash == hash && slot.size == bytes.size() &&
        std::memcmp(m_scalarBytes.data() + slot.start, bytes.data(), bytes.size()) == 0)
        return slot.refPlusOne - 1;
    slot = {m_scalarBytes.size(), static_cast<uint32_t>(bytes.size()), hash,
            static_cast<Ref>(++m_scalarCount)};
    m_scalarBytes.append(bytes);
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
    const uint64_t scalarCount = m_scalarCount;
    const uint64_t objectCount = scalarCount + m_containerStarts.size();
    const int refSize = byteCount(objectCount);
    auto objectNumber = [scalarCount](Ref ref) -> uint64_t {
        return ref & kContainerBit ? scalarCount + (ref & ~kContainerBit) : ref;
    };
    auto containerSize = [refSize](const Container &container) {
        return markerSize(container.itemCount()) + container.refCount * refSize;
    };

    const uint64_t containersOffset = kMagicSize + m_scalarBytes.size();
    uint64_t lastOffset = containersOffset; // the largest, which sets the size of the offsets
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
    withConstantSize(refSize, [&](auto size) {
        for (size_t i = 0; i < m_containerStarts.size(); ++i) {
            const Container items = container(i);
            out = writeMarker(out, items.isDictionary ? kDictionary : kArray, items.itemCount());
            for (uint64_t ref = items.firstRef; ref < items.firstRef + items.refCount; ++ref) {
                writeBigEndian(out, objectNumber(m_refs[ref]), size);
                out += size;
            }
        }
    });
    withConstantSize(offsetSize, [&](auto size) {
        for (size_t start = 0; start < m_scalarBytes.size();
             start += scalarSize(m_scalarBytes.data() + start)) {
            writeBigEndian(out, kMagicSize + start, size);
            out += size;
        }
        uint64_t offset = containersOffset;
        for (size_t i = 0; i < m_containerStarts.size(); ++i) {
            writeBigEndian(out, offset, size);
            out += size;
            offset += containerSize(container(i));
        }
    });
    std::memset(out, 0, 6);
    out[6] = static_cast<char>(offsetSize);
    out[7] = static_cast<char>(refSize);
    writeBigEndian(out + 8, objectCount, 8);
    writeBigEndian(out + 16, objectNumber(root), 8);
    writeBigEndian(out + 24, offsetTableOffset, 8);
    return bytes;
}

} // namespace lq
