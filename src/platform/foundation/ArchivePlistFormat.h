#pragma once

#include <cstdint>

// Layout of a binary property list: "bplist00", the objects, a table of their offsets and a
// 32-byte trailer. An object starts with a marker byte: the kind in the high nibble, a size in
// the low one (15: the size follows as an integer object).
namespace lq::archive_plist {

inline constexpr char kMagic[] = "bplist00";
inline constexpr int kMagicSize = 8;
inline constexpr int kTrailerSize = 32;
inline constexpr int kInlineSizeLimit = 15;

enum Marker : uint8_t {
    kFalse = 0x08,
    kTrue = 0x09,
    kInteger = 0x10,
    kReal = 0x20,
    kDate = 0x33,
    kData = 0x40,
    kAsciiString = 0x50,
    kUtf16String = 0x60,
    kUid = 0x80,
    kArray = 0xA0,
    kDictionary = 0xD0,
};

inline uint64_t readBigEndian(const unsigned char *bytes, int size)
{
    uint64_t value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

inline void writeBigEndian(char *out, uint64_t value, int size)
{
    for (int i = size - 1; i >= 0; --i) {
        out[i] = static_cast<char>(value & 0xFF);
        value >>= 8;
    }
}

// The fewest of 1, 2, 4 or 8 bytes that hold value.
inline int unsignedByteCount(uint64_t value)
{
    if (value <= 0xFF)
        return 1;
    if (value <= 0xFFFF)
        return 2;
    if (value <= 0xFFFFFFFF)
        return 4;
    return 8;
}

// log2 of a size of 1, 2, 4, 8 or 16 bytes.
inline uint8_t sizeExponent(int size)
{
    uint8_t exponent = 0;
    while ((1 << exponent) < size)
        ++exponent;
    return exponent;
}

} // namespace lq::archive_plist
