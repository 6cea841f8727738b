#include "support/HostileArchives.h"

#include "platform/foundation/KeyedArchiver.h"

#include <QByteArrayView>
#include <QFile>

#include <utility>
#include <vector>

namespace lq::test {

namespace {

constexpr int kRefSize = 2;
constexpr int kOffsetSize = 4;

QByteArray bigEndian(uint64_t value, int size)
{
    QByteArray bytes(size, '\0');
    for (int i = size - 1; i >= 0; --i, value >>= 8)
        bytes[i] = char(value & 0xFF);
    return bytes;
}

// A marker with its count, inline or as a following four-byte integer.
QByteArray header(uint8_t kind, size_t count)
{
    if (count < 15)
        return QByteArray(1, char(kind | count));
    return QByteArray(1, char(kind | 0x0F)) + char(0x12) + bigEndian(count, 4);
}

QByteArray refs(const std::vector<int> &objects)
{
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(objects.size()) * kRefSize);
    for (const int object : objects)
        bytes += bigEndian(static_cast<uint64_t>(object), kRefSize);
    return bytes;
}

QByteArray ascii(QByteArrayView text)
{
    return header(0x50, static_cast<size_t>(text.size())) + text.toByteArray();
}

QByteArray uid(uint32_t value)
{
    return char(0x81) + bigEndian(value, 2);
}

QByteArray array(const std::vector<int> &items)
{
    return header(0xA0, items.size()) + refs(items);
}

QByteArray dictionary(const std::vector<int> &keys, const std::vector<int> &values)
{
    return header(0xD0, keys.size()) + refs(keys) + refs(values);
}

// A binary property list written object by object, in which an object number may take the
// offset of another.
class RawPlist
{
public:
    int add(const QByteArray &object)
    {
        m_offsets.push_back(8 + m_objects.size());
        m_objects += object;
        return static_cast<int>(m_offsets.size()) - 1;
    }
    int alias(int object)
    {
        m_offsets.push_back(m_offsets[static_cast<size_t>(object)]);
        return static_cast<int>(m_offsets.size()) - 1;
    }
    QByteArray finish(int root) const
    {
        QByteArray bytes = QByteArray("bplist00") + m_objects;
        const auto tableOffset = static_cast<uint64_t>(bytes.size());
        for (const qsizetype offset : m_offsets)
            bytes += bigEndian(static_cast<uint64_t>(offset), kOffsetSize);
        bytes += QByteArray(6, '\0');
        bytes += char(kOffsetSize);
        bytes += char(kRefSize);
        bytes += bigEndian(m_offsets.size(), 8);
        bytes += bigEndian(static_cast<uint64_t>(root), 8);
        bytes += bigEndian(tableOffset, 8);
        return bytes;
    }

private:
    QByteArray m_objects;
    std::vector<qsizetype> m_offsets;
};

// A keyed archive over a RawPlist: its object list starts with "$null".
class RawKeyedArchive
{
public:
    RawKeyedArchive() { m_members.push_back(plist.add(ascii("$null"))); }

    // Puts a property-list object into the object list; answers its UID.
    uint32_t member(int object)
    {
        m_members.push_back(object);
        return static_cast<uint32_t>(m_members.size()) - 1;
    }
    uint32_t classRecord(QByteArrayView name)
    {
        const int nameObject = plist.add(ascii(name));
        return member(
            plist.add(dictionary({plist.add(ascii("$classname")), plist.add(ascii("$classes"))},
                                 {nameObject, plist.add(array({nameObject}))})));
    }
    // An array of the given members: a member itself; answers its UID.
    uint32_t arrayOf(const std::vector<uint32_t> &uids)
    {
        std::vector<int> items;
        items.reserve(uids.size());
        for (const uint32_t value : uids)
            items.push_back(plist.add(uid(value)));
        return member(plist.add(
            dictionary({plist.add(ascii("NS.objects")), classKey()},
                       {plist.add(array(items)), plist.add(uid(classRecord("NSArray")))})));
    }
    int classKey()
    {
        if (m_classKey < 0)
            m_classKey = plist.add(ascii("$class"));
        return m_classKey;
    }
    QByteArray finish(uint32_t root)
    {
        const int top = plist.add(dictionary({plist.add(ascii("root"))}, {plist.add(uid(root))}));
        const int objects = plist.add(array(m_members));
        return plist.finish(
            plist.add(dictionary({plist.add(ascii("$archiver")), plist.add(ascii("$version")),
                                  plist.add(ascii("$top")), plist.add(ascii("$objects"))},
                                 {plist.add(ascii("NSKeyedArchiver")),
                                  plist.add(char(0x12) + bigEndian(100000, 4)), top, objects})));
    }

    RawPlist plist;

private:
    std::vector<int> m_members;
    int m_classKey = -1;
};

// Bytes a copy takes: its offset, its place in the object list, its UID (three bytes and an
// offset) and the reference to that in the root array, and, when separate, its own object of
// objectSize bytes.
qsizetype bytesPerCopy(Sharing sharing, qsizetype objectSize)
{
    const qsizetype shared = kOffsetSize + kRefSize + 3 + kOffsetSize + kRefSize;
    return sharing == Sharing::SameOffset ? shared : shared + objectSize;
}

// The root array of copies that each have the bytes of object (the first is object itself).
QByteArray archiveOfCopies(RawKeyedArchive &archive, int object, const QByteArray &bytes,
                           qsizetype copies, Sharing sharing)
{
    std::vector<uint32_t> uids;
    for (qsizetype i = 0; i < copies; ++i) {
        const int copy = i == 0                           ? object
                         : sharing == Sharing::SameOffset ? archive.plist.alias(object)
                                                          : archive.plist.add(bytes);
        uids.push_back(archive.member(copy));
    }
    return archive.finish(archive.arrayOf(uids));
}

} // namespace

QByteArray sharedListArchive(qsizetype size, Sharing sharing)
{
    RawKeyedArchive archive;
    const int nullReference = archive.plist.add(uid(0));
    const int list =
        archive.plist.add(array(std::vector<int>(static_cast<size_t>(size / 4), nullReference)));
    const QByteArray copy =
        dictionary({archive.plist.add(ascii("NS.objects")), archive.classKey()},
                   {list, archive.plist.add(uid(archive.classRecord("NSArray")))});
    const qsizetype copies = size / (2 * bytesPerCopy(sharing, copy.size()));
    return archiveOfCopies(archive, archive.plist.add(copy), copy, copies, sharing);
}

QByteArray sharedTextArchive(qsizetype size, Sharing sharing)
{
    RawKeyedArchive archive;
    const int text = archive.plist.add(ascii(QByteArray(size / 2, 'x')));
    if (sharing == Sharing::SameOffset)
        return archiveOfCopies(archive, text, {}, size / (2 * bytesPerCopy(sharing, 0)), sharing);
    const QByteArray copy =
        dictionary({archive.plist.add(ascii("NS.string")), archive.classKey()},
                   {text, archive.plist.add(uid(archive.classRecord("NSString")))});
    const qsizetype copies = size / (2 * bytesPerCopy(sharing, copy.size()));
    return archiveOfCopies(archive, archive.plist.add(copy), copy, copies, sharing);
}

QByteArray repeatedKeysArchive(const QString &className, qsizetype size)
{
    RawKeyedArchive archive;
    const auto keys = static_cast<size_t>(size / 8);
    std::vector<int> keyObjects(keys, archive.plist.add(ascii("unused")));
    std::vector<int> values(keys, archive.plist.add(char(0x10) + QByteArray(1, '\1')));
    // "$class" last, so that it is found at once and every other look-up passes over all keys.
    keyObjects.push_back(archive.classKey());
    values.push_back(archive.plist.add(uid(archive.classRecord(className.toLatin1()))));
    const QByteArray object = dictionary(keyObjects, values);
    return archiveOfCopies(archive, archive.plist.add(object), object,
                           size / (2 * bytesPerCopy(Sharing::SameOffset, 0)), Sharing::SameOffset);
}

bool makeSparseFile(const QString &path, qint64 size, const QByteArray &head)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(head) == head.size() && file.resize(size);
}

namespace {

class HandMadeObject : public Archivable
{
public:
    HandMadeObject(QString className, std::function<void(KeyedArchiver &)> encode)
        : m_className(std::move(className)), m_encode(std::move(encode))
    {}
    QStringList archiveClassNames() const override
    {
        return {m_className, QStringLiteral("NSObject")};
    }
    void encodeWithCoder(KeyedArchiver &coder) const override { m_encode(coder); }

private:
    QString m_className;
    std::function<void(KeyedArchiver &)> m_encode;
};

} // namespace

ArchiveValue handMadeObject(const QString &className, std::function<void(KeyedArchiver &)> encode)
{
    return ArchiveValue::object(std::make_shared<HandMadeObject>(className, std::move(encode)));
}

ArchiveValue timeStampObject(int32_t type, int32_t session, double offset, uint32_t index)
{
    return handMadeObject(QStringLiteral("WrenTimeStamp"), [=](KeyedArchiver &coder) {
        coder.encodeInt32(QStringLiteral("type"), type);
        coder.encodeInt32(QStringLiteral("session"), session);
        coder.encodeDouble(QStringLiteral("offset"), offset);
        coder.encodeInt32(QStringLiteral("index"), static_cast<int32_t>(index));
    });
}

QByteArray eventsArchive(const ArchiveArray &stamps)
{
    return KeyedArchiver::archivedData(
        handMadeObject(QStringLiteral("WrenEvents"), [stamps](KeyedArchiver &coder) {
            coder.encodeObject(QStringLiteral("events"), ArchiveValue::array(stamps));
        }));
}

} // namespace lq::test
