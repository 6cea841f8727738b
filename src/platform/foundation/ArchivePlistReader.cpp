#include "platform/foundation/ArchivePlistReader.h"

#include "platform/foundation/ArchivePlistFormat.h"

#include <bit>
#include <cstring>
#include <limits>

namespace lq {

using namespace archive_plist;

namespace {

constexpr uint8_t kKindMask = 0xF0;
constexpr uint8_t kSizeMask = 0x0F;
constexpr uint8_t kDateKind = kDate & kKindMask;

bool hasCountedSize(uint8_t kind)
{
    return kind == kData || kind == kAsciiString || kind == kUtf16String || kind == kArray ||
           kind == kDictionary;
}

} // namespace

bool ArchivePlistReader::open(const QByteArray &bytes)
{
    const auto size = static_cast<uint64_t>(bytes.size());
    if (size < kMagicSize + 1 + kTrailerSize || std::memcmp(bytes.constData(), kMagic, kMagicSize))
        return false;
    m_bytes = bytes;
    m_begin = reinterpret_cast<const unsigned char *>(m_bytes.constData());
    const unsigned char *trailer = m_begin + size - kTrailerSize;
    m_offsetSize = trailer[6];
    m_refSize = trailer[7];
    m_objectCount = readBigEndian(trailer + 8, 8);
    m_rootObject = readBigEndian(trailer + 16, 8);
    const uint64_t tableOffset = readBigEndian(trailer + 24, 8);
    const uint64_t tableSpace = size - kTrailerSize;
    if (m_offsetSize < 1 || m_offsetSize > 8 || m_refSize < 1 || m_refSize > 8)
        return false;
    if (tableOffset <= kMagicSize || tableOffset > tableSpace)
        return false;
    if (m_objectCount == 0 || m_objectCount > (tableSpace - tableOffset) / m_offsetSize)
        return false;
    if (m_rootObject >= m_objectCount)
        return false;
    m_offsetTable = m_begin + tableOffset;
    m_objectsEnd = m_offsetTable;
    return true;
}

std::optional<ArchivePlistReader::Header> ArchivePlistReader::header(uint64_t object) const
{
    if (object >= m_objectCount)
        return std::nullopt;
    const uint64_t offset = readTableNumber(m_offsetTable + object * m_offsetSize, m_offsetSize);
    if (offset < kMagicSize || offset >= static_cast<uint64_t>(m_objectsEnd - m_begin))
        return std::nullopt;
    const unsigned char *start = m_begin + offset;
    Header result{*start, static_cast<uint64_t>(*start & kSizeMask), start + 1};
    if (!hasCountedSize(result.marker & kKindMask) || result.size < kInlineSizeLimit)
        return result;
    // The size follows as an integer object of 1, 2, 4 or 8 bytes.
    if (m_objectsEnd - result.payload < 1 || (*result.payload & kKindMask) != kInteger)
        return std::nullopt;
    const int exponent = *result.payload & kSizeMask;
    if (exponent > 3 || m_objectsEnd - (result.payload + 1) < (1 << exponent))
        return std::nullopt;
    result.size = readBigEndian(result.payload + 1, 1 << exponent);
    result.payload += 1 + (1 << exponent);
    return result;
}

std::optional<ArchivePlistReader::Header>
ArchivePlistReader::sizedHeader(uint64_t object, uint8_t kind, uint64_t unitSize) const
{
    const std::optional<Header> result = header(object);
    if (!result || (result->marker & kKindMask) != kind)
        return std::nullopt;
    if (result->size > static_cast<uint64_t>(m_objectsEnd - result->payload) / unitSize)
        return std::nullopt;
    return result;
}

ArchivePlistReader::Type ArchivePlistReader::type(uint64_t object) const
{
    const std::optional<Header> result = header(object);
    if (!result)
        return Type::Invalid;
    switch (result->marker & kKindMask) {
    case 0x00:
        return result->marker == kFalse || result->marker == kTrue ? Type::Bool : Type::Invalid;
    case kInteger:
        return Type::Integer;
    case kReal:
        return Type::Real;
    case kDateKind:
        return result->marker == kDate ? Type::Date : Type::Invalid;
    case kData:
        return Type::Data;
    case kAsciiString:
    case kUtf16String:
        return Type::String;
    case kUid:
        return Type::Uid;
    case kArray:
        return Type::Array;
    case kDictionary:
        return Type::Dictionary;
    default:
        return Type::Invalid;
    }
}

std::optional<bool> ArchivePlistReader::boolean(uint64_t object) const
{
    const std::optional<Header> result = header(object);
    if (!result || (result->marker != kFalse && result->marker != kTrue))
        return std::nullopt;
    return result->marker == kTrue;
}

std::optional<int64_t> ArchivePlistReader::integer(uint64_t object) const
{
    const std::optional<Header> result = header(object);
    if (!result || (result->marker & kKindMask) != kInteger || result->size > 4)
        return std::nullopt;
    const int size = 1 << result->size;
    if (m_objectsEnd - result->payload < size)
        return std::nullopt;
    if (size <= 8) // 1, 2 and 4 bytes are unsigned, 8 bytes signed
        return static_cast<int64_t>(readBigEndian(result->payload, size));
    // 16 bytes: signed; only the int64_t range is taken.
    const uint64_t high = readBigEndian(result->payload, 8);
    const auto low = static_cast<int64_t>(readBigEndian(result->payload + 8, 8));
    if ((high == 0 && low >= 0) || (high == std::numeric_limits<uint64_t>::max() && low < 0))
        return low;
    return std::nullopt;
}

std::optional<double> ArchivePlistReader::real(uint64_t object) const
{
    const std::optional<Header> result = header(object);
    if (!result || (result->marker & kKindMask) != kReal || result->size < 2 || result->size > 3)
        return std::nullopt;
    const int size = 1 << result->size;
    if (m_objectsEnd - result->payload < size)
        return std::nullopt;
    const uint64_t bits = readBigEndian(result->payload, size);
    if (size == 4)
        return std::bit_cast<float>(static_cast<uint32_t>(bits));
    return std::bit_cast<double>(bits);
}

std::optional<double> ArchivePlistReader::date(uint64_t object) const
{
    const std::optional<Header> result = header(object);
    if (!result || result->marker != kDate || m_objectsEnd - result->payload < 8)
        return std::nullopt;
    return std::bit_cast<double>(readBigEndian(result->payload, 8));
}

std::optional<QByteArray> ArchivePlistReader::data(uint64_t object) const
{
    const std::optional<Header> result = sizedHeader(object, kData, 1);
    if (!result)
        return std::nullopt;
    return QByteArray(reinterpret_cast<const char *>(result->payload),
                      static_cast<qsizetype>(result->size));
}

std::optional<QString> ArchivePlistReader::string(uint64_t object) const
{
    if (const std::optional<Header> ascii = sizedHeader(object, kAsciiString, 1))
        return QString::fromLatin1(reinterpret_cast<const char *>(ascii->payload),
                                   static_cast<qsizetype>(ascii->size));
    const std::optional<Header> utf16 = sizedHeader(object, kUtf16String, 2);
    if (!utf16)
        return std::nullopt;
    QString text(static_cast<qsizetype>(utf16->size), Qt::Uninitialized);
    QChar *out = text.data();
    for (uint64_t i = 0; i < utf16->size; ++i)
        out[i] = QChar(static_cast<char16_t>(readBigEndian(utf16->payload + 2 * i, 2)));
    return text;
}

std::optional<uint64_t> ArchivePlistReader::uid(uint64_t object) const
{
    const std::optional<Header> result = header(object);
    if (!result || (result->marker & kKindMask) != kUid)
        return std::nullopt;
    const int size = static_cast<int>(result->size) + 1;
    if (size > 8 || m_objectsEnd - result->payload < size)
        return std::nullopt;
    return readBigEndian(result->payload, size);
}

std::optional<ArchivePlistReader::Refs> ArchivePlistReader::array(uint64_t object) const
{
    const std::optional<Header> result = sizedHeader(object, kArray, m_refSize);
    if (!result)
        return std::nullopt;
    return Refs{result->payload, result->size};
}

std::optional<ArchivePlistReader::Dictionary> ArchivePlistReader::dictionary(uint64_t object) const
{
    const std::optional<Header> result = sizedHeader(object, kDictionary, 2 * m_refSize);
    if (!result)
        return std::nullopt;
    const Refs keys{result->payload, result->size};
    return Dictionary{keys, Refs{result->payload + result->size * m_refSize, result->size}};
}

bool ArchivePlistReader::stringEquals(uint64_t object, QStringView text) const
{
    const std::optional<Header> string = header(object);
    if (!string || string->size != static_cast<uint64_t>(text.size()))
        return false;
    const uint8_t kind = string->marker & kKindMask;
    const uint64_t unitSize = kind == kUtf16String ? 2 : 1;
    if ((kind != kAsciiString && kind != kUtf16String) ||
        string->size > static_cast<uint64_t>(m_objectsEnd - string->payload) / unitSize)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const uint64_t unit =
            kind == kAsciiString ? string->payload[i] : readBigEndian(string->payload + 2 * i, 2);
        if (unit != text[i].unicode())
            return false;
    }
    return true;
}

std::optional<uint64_t> ArchivePlistReader::valueForKey(const Dictionary &dictionary,
                                                        QStringView text) const
{
    for (uint64_t i = dictionary.keys.count; i > 0; --i) {
        if (stringEquals(refAt(dictionary.keys, i - 1), text))
            return refAt(dictionary.values, i - 1);
    }
    return std::nullopt;
}

} // namespace lq
