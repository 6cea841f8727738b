#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QtEndian>

#include <cstdint>
#include <cstring>
#include <optional>

namespace lq {

// Reads a binary property list in place, one object at a time. Every offset, size and reference
// is checked against the bytes: damaged input answers nullopt (or Type::Invalid), never a read
// outside them, and no size read from the input allocates more than the input holds.
class ArchivePlistReader
{
public:
    enum class Type { Invalid, Bool, Integer, Real, Date, Data, String, Uid, Array, Dictionary };

    // References to other objects, stored in the bytes.
    struct Refs
    {
        const unsigned char *bytes = nullptr;
        uint64_t count = 0;
    };
    struct Dictionary
    {
        Refs keys;
        Refs values;
    };

    // False when the bytes have no valid header, trailer or offset table.
    bool open(const QByteArray &bytes);
    uint64_t objectCount() const { return m_objectCount; }
    uint64_t rootObject() const { return m_rootObject; }

    // The object number of a reference; its validity is checked when it is read.
    uint64_t refAt(const Refs &refs, uint64_t position) const
    {
        return readTableNumber(refs.bytes + position * m_refSize, m_refSize);
    }

    // Whether two lists hold the same references in the same order.
    bool sameRefs(const Refs &a, const Refs &b) const
    {
        return a.count == b.count &&
               (a.bytes == b.bytes || a.count == 0 ||
                std::memcmp(a.bytes, b.bytes, a.count * static_cast<uint64_t>(m_refSize)) == 0);
    }

    Type type(uint64_t object) const;
    std::optional<bool> boolean(uint64_t object) const;
    std::optional<int64_t> integer(uint64_t object) const; // nullopt also beyond int64_t
    std::optional<double> real(uint64_t object) const;     // a 4- or 8-byte real
    std::optional<double> date(uint64_t object) const;
    std::optional<QByteArray> data(uint64_t object) const;
    std::optional<QString> string(uint64_t object) const;
    std::optional<uint64_t> uid(uint64_t object) const;
    std::optional<Refs> array(uint64_t object) const;
    std::optional<Dictionary> dictionary(uint64_t object) const;

    bool stringEquals(uint64_t object, QStringView text) const;
    // The value of the last entry whose key is text; nullopt when there is none.
    std::optional<uint64_t> valueForKey(const Dictionary &dictionary, QStringView text) const;

private:
    // A reference or an offset of size bytes. Both lie before the 32-byte trailer, so reading
    // eight bytes from where they start stays inside the data.
    static uint64_t readTableNumber(const unsigned char *bytes, int size)
    {
        uint64_t word;
        std::memcpy(&word, bytes, sizeof word);
        return qFromBigEndian(word) >> (8 * (8 - size));
    }

    // The marker, the size and the first byte after the size of an object.
    struct Header
    {
        uint8_t marker = 0;
        uint64_t size = 0;
        const unsigned char *payload = nullptr;
    };
    std::optional<Header> header(uint64_t object) const;
    // The header of an object whose size counts units of unitSize bytes, checked to fit.
    std::optional<Header> sizedHeader(uint64_t object, uint8_t kind, uint64_t unitSize) const;

    QByteArray m_bytes;
    const unsigned char *m_begin = nullptr;
    const unsigned char *m_objectsEnd = nullptr;
    const unsigned char *m_offsetTable = nullptr;
    uint64_t m_objectCount = 0;
    uint64_t m_rootObject = 0;
    int m_offsetSize = 0;
    int m_refSize = 0;
};

} // namespace lq
