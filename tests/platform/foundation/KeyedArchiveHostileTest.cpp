#include "KeyedArchiveTestClasses.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Plist.h"
#include "support/HostileArchives.h"

#include <QtEndian>

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

using namespace lq;

namespace {

using Entries = std::initializer_list<std::pair<const char *, plist_t>>;

plist_t uid(uint64_t value)
{
    return plist_new_uid(value);
}

plist_t dict(Entries entries)
{
    plist_t node = plist_new_dict();
    for (const auto &[key, value] : entries)
        plist_dict_set_item(node, key, value);
    return node;
}

plist_t array(std::initializer_list<plist_t> items)
{
    plist_t node = plist_new_array();
    for (plist_t item : items)
        plist_array_append_item(node, item);
    return node;
}

plist_t classRecord(const char *name)
{
    return dict({{"$classname", plist_new_string(name)},
                 {"$classes", array({plist_new_string(name), plist_new_string("NSObject")})}});
}

// The fields of a test note that decode without failing, and more.
plist_t note(uint64_t classUid, Entries extra = {})
{
    plist_t node = dict({{"number", plist_new_uint(1)}, {"$class", uid(classUid)}});
    for (const auto &[key, value] : extra)
        plist_dict_set_item(node, key, value);
    return node;
}

QByteArray bytesOf(plist_t root)
{
    const PlistPtr owner(root);
    return plistToBinary(root);
}

// A keyed archive around the given objects ("$null" goes first) and top dictionary.
QByteArray archive(std::vector<plist_t> objects, plist_t top = dict({{"root", uid(1)}}))
{
    plist_t list = array({plist_new_string("$null")});
    for (plist_t object : objects)
        plist_array_append_item(list, object);
    return bytesOf(dict({{"$archiver", plist_new_string("NSKeyedArchiver")},
                         {"$version", plist_new_uint(100000)},
                         {"$top", top},
                         {"$objects", list}}));
}

// An archive of one test note with the given field added or replaced.
QByteArray noteWith(const char *key, plist_t value)
{
    return archive({note(2, {{key, value}}), classRecord("TestNote")});
}

// Objects 1 to count are arrays, each holding the next; the last is empty.
QByteArray nestedArrays(int count)
{
    std::vector<plist_t> objects;
    const uint64_t classUid = count + 1;
    for (int i = 1; i <= count; ++i) {
        plist_t items = i < count ? array({uid(i + 1)}) : array({});
        objects.push_back(dict({{"NS.objects", items}, {"$class", uid(classUid)}}));
    }
    objects.push_back(classRecord("NSArray"));
    return archive(objects);
}

// A binary property list made of the given objects, written as they are, with one-byte
// references and two-byte offsets; trailer fields can be overridden.
struct RawPlist
{
    std::vector<QByteArray> objects;
    uint64_t root = 0;
    int offsetSize = 2;
    int refSize = 1;
    std::optional<uint64_t> objectCount;
    std::optional<uint64_t> offsetTableOffset;

    QByteArray bytes() const
    {
        QByteArray result("bplist00");
        std::vector<uint64_t> offsets;
        for (const QByteArray &object : objects) {
            offsets.push_back(static_cast<uint64_t>(result.size()));
            result += object;
        }
        const uint64_t tableOffset = offsetTableOffset.value_or(result.size());
        for (uint64_t offset : offsets)
            result += bigEndian(offset, 2);
        result += QByteArray(6, '\0');
        result += char(offsetSize);
        result += char(refSize);
        result += bigEndian(objectCount.value_or(objects.size()), 8);
        result += bigEndian(root, 8);
        result += bigEndian(tableOffset, 8);
        return result;
    }

    static QByteArray bigEndian(uint64_t value, int size)
    {
        QByteArray bytes(size, '\0');
        for (int i = size - 1; i >= 0; --i, value >>= 8)
            bytes[i] = char(value & 0xFF);
        return bytes;
    }
};

QByteArray ascii(const char *text)
{
    const QByteArray bytes(text);
    return char(0x50 | bytes.size()) + bytes;
}

// A valid keyed archive whose root is object 12 of the plist; each case replaces one object.
RawPlist rawArchive()
{
    RawPlist plist;
    plist.objects = {
        QByteArray("\xD4\x01\x02\x03\x04\x05\x06\x07\x08", 9), // 0: the top dictionary
        ascii("$archiver"),
        ascii("$version"),
        ascii("$top"),
        ascii("$objects"),
        QByteArray("\x5F\x10\x0F") + "NSKeyedArchiver",
        QByteArray("\x12\x00\x01\x86\xA0", 5), // 6: 100000
        QByteArray("\xD1\x09\x0A", 3),         // 7: {"root": UID 1}
        QByteArray("\xA2\x0B\x0C", 3),         // 8: ["$null", object 12]
        ascii("root"),
        QByteArray("\x80\x01", 2), // 10: UID 1
        ascii("$null"),
        QByteArray("\x10\x2A", 2), // 12: 42
    };
    return plist;
}

// The raw archive with the root object's offset pointing at the offset table itself.
QByteArray objectOffsetIntoTable()
{
    QByteArray bytes = rawArchive().bytes();
    const qsizetype trailer = bytes.size() - 32;
    const qsizetype table =
        static_cast<qsizetype>(qFromBigEndian<quint64>(bytes.constData() + trailer + 24));
    bytes.replace(table + 12 * 2, 2, RawPlist::bigEndian(static_cast<uint64_t>(table), 2));
    return bytes;
}

class KeyedArchiveHostileTest : public testing::Test
{
protected:
    static void SetUpTestSuite() { test::registerArchiveTestClasses(); }
};

TEST_F(KeyedArchiveHostileTest, ReadsTheMutableCollectionClassesOfOtherWriters)
{
    const QByteArray bytes = archive({
        dict({{"NS.objects", array({uid(3), uid(6), uid(8)})}, {"$class", uid(2)}}),
        classRecord("NSMutableArray"),
        dict({{"NS.keys", array({uid(5)})}, {"NS.objects", array({uid(0)})}, {"$class", uid(4)}}),
        classRecord("NSMutableDictionary"),
        plist_new_uint(42),
        dict({{"NS.string", plist_new_string("mutable")}, {"$class", uid(7)}}),
        classRecord("NSMutableString"),
        dict({{"NS.data", plist_new_data("\x01\x02", 2)}, {"$class", uid(9)}}),
        classRecord("NSMutableData"),
    });
    Error error;
    const std::optional<ArchiveValue> decoded =
        KeyedUnarchiver::unarchive(bytes, test::kArchiveTestClasses, &error);
    ASSERT_TRUE(decoded) << qPrintable(error.localizedDescription());
    const ArchiveArray &items = decoded->toArray();
    ASSERT_EQ(items.size(), 3);
    ASSERT_EQ(items[0].toDictionary().size(), 1);
    EXPECT_EQ(items[0].toDictionary()[0].first.toInteger(), 42);
    EXPECT_TRUE(items[0].toDictionary()[0].second.isNull());
    EXPECT_EQ(items[1].toString(), "mutable");
    EXPECT_EQ(items[2].toData(), QByteArray("\x01\x02"));
}

// Another writer may order the keys of each object as it likes and leave some out: the items of
// one list each read their own values, whatever the keys of the item before them.
TEST_F(KeyedArchiveHostileTest, ItemsOfOneListWithKeysInAnyOrderReadTheirOwnValues)
{
    const auto inOrder = [](uint64_t number, double weight) {
        return dict({{"number", plist_new_uint(number)},
                     {"$class", uid(3)},
                     {"weight", plist_new_real(weight)}});
    };
    const QByteArray bytes = archive({
        dict({{"NS.objects", array({uid(4), uid(5), uid(6), uid(7), uid(8)})}, {"$class", uid(2)}}),
        classRecord("NSArray"),
        classRecord("TestNote"),
        inOrder(1, 2.5),
        inOrder(3, -1.0),
        dict({{"weight", plist_new_real(7.0)}, {"$class", uid(3)}, {"number", plist_new_uint(5)}}),
        dict({{"$class", uid(3)}, {"number", plist_new_uint(9)}}),
        inOrder(11, 0.5),
    });
    Error error;
    const std::optional<ArchiveValue> decoded =
        KeyedUnarchiver::unarchive(bytes, test::kArchiveTestClasses, &error);
    ASSERT_TRUE(decoded) << qPrintable(error.localizedDescription());
    std::vector<std::pair<int32_t, double>> read;
    for (const ArchiveValue &item : decoded->toArray()) {
        const auto note = item.objectAs<test::ArchiveTestNote>();
        ASSERT_TRUE(note);
        read.emplace_back(note->number, note->weight);
    }
    const std::vector<std::pair<int32_t, double>> written{
        {1, 2.5}, {3, -1.0}, {5, 7.0}, {9, 0.0}, {11, 0.5}};
    EXPECT_EQ(read, written);
}

TEST_F(KeyedArchiveHostileTest, DamagedArchivesAnswerAnErrorNamingTheFault)
{
    auto raw = [](const std::function<void(RawPlist &)> &change) {
        RawPlist plist = rawArchive();
        change(plist);
        return plist.bytes();
    };
    const struct
    {
        const char *name;
        QByteArray bytes;
        const char *fault; // a part of the error's description
        ArchiveClasses classes = test::kArchiveTestClasses;
    } cases[] = {
        {"no property list", QByteArray("not a property list at all, just some text"),
         "not a binary property list"},
        {"empty", QByteArray(), "not a binary property list"},
        {"top is an array", bytesOf(array({plist_new_string("$null")})), "no top-level dictionary"},
        {"another archiver",
         bytesOf(dict({{"$archiver", plist_new_string("Other")}, {"$version", plist_new_uint(1)}})),
         "not a keyed archive"},
        {"no version",
         bytesOf(dict({{"$archiver", plist_new_string("NSKeyedArchiver")},
                       {"$objects", array({plist_new_string("$null")})}})),
         "no version"},
        {"objects not an array",
         bytesOf(dict({{"$archiver", plist_new_string("NSKeyedArchiver")},
                       {"$version", plist_new_uint(100000)},
                       {"$objects", dict({})}})),
         "object list"},
        {"objects without $null",
         bytesOf(dict({{"$archiver", plist_new_string("NSKeyedArchiver")},
                       {"$version", plist_new_uint(100000)},
                       {"$top", dict({{"root", uid(0)}})},
                       {"$objects", array({plist_new_string("null")})}})),
         "object list"},
        {"top without root", archive({plist_new_uint(1)}, dict({{"other", uid(1)}})), "no root"},
        {"root not a reference", archive({plist_new_uint(1)}, dict({{"root", plist_new_uint(1)}})),
         "no root"},
        {"dangling root", archive({plist_new_uint(1)}, dict({{"root", uid(2)}})), "past the end"},
        {"object without class", archive({dict({{"number", plist_new_uint(1)}})}), "no class"},
        {"class not a reference", archive({dict({{"$class", plist_new_string("TestNote")}})}),
         "no class"},
        {"dangling class", archive({note(9)}), "past the end"},
        {"class record is a string", archive({note(2), plist_new_string("TestNote")}),
         "class record"},
        {"class record is $null", archive({note(0)}), "class record"},
        {"class record without name",
         archive({note(2), dict({{"$classes", array({plist_new_string("TestNote")})}})}),
         "class record"},
        {"class chain not an array",
         archive({note(2), dict({{"$classname", plist_new_string("TestNote")},
                                 {"$classes", plist_new_string("TestNote")}})}),
         "class record"},
        {"class chain with a number",
         archive({note(2), dict({{"$classname", plist_new_string("TestNote")},
                                 {"$classes", array({plist_new_uint(3)})}})}),
         "class record"},
        {"unknown class", archive({note(2), classRecord("NoSuchClass")}), "“NoSuchClass”"},
        {"object containing itself",
         archive({dict({{"target", uid(1)}, {"$class", uid(2)}}), classRecord("TestLink")}),
         "contains itself"},
        {"array containing itself",
         archive(
             {dict({{"NS.objects", array({uid(1)})}, {"$class", uid(2)}}), classRecord("NSArray")}),
         "contains itself"},
        {"nested too deeply", nestedArrays(600), "nested too deeply"},
        {"reference object in the list", archive({uid(1)}), "unsupported kind"},
        {"plain array in the list", archive({array({})}), "unsupported kind"},
        {"array without objects", archive({dict({{"$class", uid(2)}}), classRecord("NSArray")}),
         "“NSArray” is damaged"},
        {"array of numbers",
         archive({dict({{"NS.objects", array({plist_new_uint(1)})}, {"$class", uid(2)}}),
                  classRecord("NSMutableArray")}),
         "“NSMutableArray” is damaged"},
        {"dangling array item",
         archive(
             {dict({{"NS.objects", array({uid(7)})}, {"$class", uid(2)}}), classRecord("NSArray")}),
         "past the end"},
        {"dictionary with fewer values than keys",
         archive({dict({{"NS.keys", array({uid(3), uid(3)})},
                        {"NS.objects", array({uid(3)})},
                        {"$class", uid(2)}}),
                  classRecord("NSDictionary"), plist_new_string("k")}),
         "“NSDictionary” is damaged"},
        {"dictionary keyed by itself",
         archive({dict({{"NS.keys", array({uid(1)})},
                        {"NS.objects", array({uid(0)})},
                        {"$class", uid(2)}}),
                  classRecord("NSDictionary")}),
         "contains itself"},
        {"dictionary with a data key",
         archive({dict({{"NS.keys", array({uid(3)})},
                        {"NS.objects", array({uid(0)})},
                        {"$class", uid(2)}}),
                  classRecord("NSDictionary"), plist_new_data("k", 1)}),
         "“NSDictionary” is damaged"},
        {"date with a string time",
         archive({dict({{"NS.time", plist_new_string("noon")}, {"$class", uid(2)}}),
                  classRecord("NSDate")}),
         "not a number"},
        {"int32 out of range", noteWith("number", plist_new_uint(1u << 31)),
         "does not fit in 32 bits"},
        {"int32 below range", noteWith("number", plist_new_uint(uint64_t(INT64_C(-2147483649)))),
         "does not fit in 32 bits"},
        {"int32 from a string", noteWith("number", plist_new_string("1")),
         "“number” is not an integer"},
        {"int64 from a real", noteWith("wide", plist_new_real(1.0)), "“wide” is not an integer"},
        {"bool from a number", noteWith("flag", plist_new_uint(1)), "“flag” is not a boolean"},
        {"float out of range", noteWith("ratio", plist_new_real(1e300)), "single-precision"},
        {"double from data", noteWith("weight", plist_new_data("x", 1)),
         "“weight” is not a number"},
        {"object from an inline number", noteWith("attachment", plist_new_uint(3)),
         "“attachment” is not an object reference"},
        {"dangling object reference", noteWith("attachment", uid(40)), "past the end"},
        {"decoder fails with a reason", archive({note(2), classRecord("TestRefusing")}),
         "refuses to be read"},
        {"decoder answers null", archive({note(2), classRecord("TestNull")}),
         "“TestNull” could not be decoded"},
        // Its decoder, which refuses, never runs.
        {"class the caller does not allow",
         archive({note(2), classRecord("TestRefusing")}),
         "“TestRefusing”, which it may not hold",
         {QStringLiteral("TestNote")}},
        {"inside an object the caller allows",
         archive({dict({{"target", uid(3)}, {"$class", uid(2)}}), classRecord("TestLink"), note(4),
                  classRecord("TestRefusing")}),
         "“TestRefusing”, which it may not hold",
         {QStringLiteral("TestLink")}},
        {"raw: huge object list", raw([](RawPlist &p) {
             p.objects[8] = QByteArray("\xAF\x13\x00\x00\x01\x00\x00\x00\x00\x00", 10);
         }),
         "object list"},
        {"raw: huge string", raw([](RawPlist &p) {
             p.objects[12] = QByteArray("\x5F\x13\x7F\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 10);
         }),
         "damaged"},
        {"raw: size that is not an integer",
         raw([](RawPlist &p) { p.objects[12] = QByteArray("\x4F\x50", 2); }), "damaged"},
        {"raw: reference beyond the objects",
         raw([](RawPlist &p) { p.objects[8] = QByteArray("\xA2\x0B\x7F", 3); }), "damaged"},
        {"raw: integer of 32 bytes",
         raw([](RawPlist &p) { p.objects[12] = QByteArray("\x15", 1); }), "damaged"},
        {"raw: integer beyond 64 bits", raw([](RawPlist &p) {
             p.objects[12] = QByteArray("\x14\x00\x00\x00\x00\x00\x00\x00\x01"
                                        "\x00\x00\x00\x00\x00\x00\x00\x00",
                                        17);
         }),
         "damaged"},
        {"raw: cut-off real", raw([](RawPlist &p) { p.objects[12] = QByteArray("\x23\x00", 2); }),
         "damaged"},
        {"raw: unknown marker", raw([](RawPlist &p) { p.objects[12] = QByteArray("\x70", 1); }),
         "unsupported kind"},
        {"raw: set", raw([](RawPlist &p) { p.objects[12] = QByteArray("\xC0", 1); }),
         "unsupported kind"},
        {"raw: huge object count", raw([](RawPlist &p) { p.objectCount = uint64_t(1) << 62; }),
         "not a binary property list"},
        {"raw: root beyond the objects", raw([](RawPlist &p) { p.root = 13; }),
         "not a binary property list"},
        {"raw: offset table beyond the end",
         raw([](RawPlist &p) { p.offsetTableOffset = uint64_t(1) << 40; }),
         "not a binary property list"},
        {"raw: no reference size", raw([](RawPlist &p) { p.refSize = 0; }),
         "not a binary property list"},
        {"raw: offsets of nine bytes", raw([](RawPlist &p) { p.offsetSize = 9; }),
         "not a binary property list"},
        {"raw: offset into the offset table", objectOffsetIntoTable(), "damaged"},
    };
    for (const auto &testCase : cases) {
        SCOPED_TRACE(testCase.name);
        Error error;
        const std::optional<ArchiveValue> value =
            KeyedUnarchiver::unarchive(testCase.bytes, testCase.classes, &error);
        EXPECT_FALSE(value);
        EXPECT_EQ(error.domain(), "archive");
        EXPECT_TRUE(error.localizedDescription().contains(QString::fromUtf8(testCase.fault)))
            << qPrintable(error.localizedDescription());
        EXPECT_TRUE(error.localizedDescription().endsWith(u'.'));
    }

    // The raw archive itself, and nesting within the limit, are fine.
    const std::optional<ArchiveValue> raw42 =
        KeyedUnarchiver::unarchive(rawArchive().bytes(), test::kArchiveTestClasses);
    ASSERT_TRUE(raw42);
    EXPECT_EQ(raw42->toInteger(), 42);
    std::optional<ArchiveValue> nested =
        KeyedUnarchiver::unarchive(nestedArrays(500), test::kArchiveTestClasses);
    ASSERT_TRUE(nested);
    int depth = 0;
    for (; nested->kind() == ArchiveValue::Kind::Array && !nested->toArray().isEmpty(); ++depth)
        nested = ArchiveValue(nested->toArray().first());
    EXPECT_EQ(depth, 499);
}

TEST_F(KeyedArchiveHostileTest, TruncatedAndBitFlippedArchivesNeverCrash)
{
    auto note = std::make_shared<test::ArchiveTestNote>();
    note->number = -3;
    note->attachment = ArchiveValue::array(
        {ArchiveValue::date(Date(5.0)), ArchiveValue::data(QByteArray(20, 'd')),
         ArchiveValue::dictionary(
             {{ArchiveValue::string(QStringLiteral("ключ")), ArchiveValue::integer(1)}}),
         ArchiveValue::object(std::make_shared<test::ArchiveTestLink>())});
    const QByteArray bytes = KeyedArchiver::archivedData(ArchiveValue::object(note));

    int decoded = 0;
    int refused = 0;
    auto check = [&](const QByteArray &damaged) {
        Error error;
        const std::optional<ArchiveValue> value =
            KeyedUnarchiver::unarchive(damaged, test::kArchiveTestClasses, &error);
        if (value) {
            ++decoded;
        } else {
            ++refused;
            EXPECT_EQ(error.domain(), "archive");
            EXPECT_FALSE(error.localizedDescription().isEmpty());
        }
    };
    for (qsizetype size = 0; size < bytes.size(); ++size)
        check(bytes.left(size));
    for (qsizetype position = 0; position < bytes.size(); ++position) {
        for (int bit = 0; bit < 8; ++bit) {
            QByteArray damaged = bytes;
            damaged[position] = char(damaged[position] ^ (1 << bit));
            check(damaged);
        }
    }
    EXPECT_EQ(decoded + refused, bytes.size() * 9);
    EXPECT_GT(refused, bytes.size()); // every truncation at least
}

// Objects that share bytes decode them once each: without a bound, 52 KB of aliased offsets
// decoded into 507 MB of lists, 272 KB ran out of memory, and 380 KB of repeated keys took 7 s.
TEST_F(KeyedArchiveHostileTest, SharedBytesDecodeWithinABoundOfTheArchiveSize)
{
    using test::Sharing;
    constexpr qsizetype kKB = 1024;
    const struct
    {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"lists at one offset, 52 KB", test::sharedListArchive(52 * kKB, Sharing::SameOffset)},
        {"lists at one offset, 136 KB", test::sharedListArchive(136 * kKB, Sharing::SameOffset)},
        {"lists at one offset, 272 KB", test::sharedListArchive(272 * kKB, Sharing::SameOffset)},
        {"one list in many arrays", test::sharedListArchive(52 * kKB, Sharing::SeparateObjects)},
        {"texts at one offset", test::sharedTextArchive(52 * kKB, Sharing::SameOffset)},
        {"one text in many strings", test::sharedTextArchive(52 * kKB, Sharing::SeparateObjects)},
        {"repeated keys", test::repeatedKeysArchive(QStringLiteral("TestNote"), 380 * kKB)},
    };
    for (const auto &testCase : cases) {
        SCOPED_TRACE(testCase.name);
        Error error;
        EXPECT_FALSE(KeyedUnarchiver::unarchive(testCase.bytes, test::kArchiveTestClasses, &error));
        EXPECT_TRUE(error.localizedDescription().contains(QStringLiteral("far more values")))
            << qPrintable(error.localizedDescription());
    }

    // A little sharing is read as written: each copy is the whole list.
    Error error;
    const std::optional<ArchiveValue> few = KeyedUnarchiver::unarchive(
        test::sharedListArchive(200, Sharing::SameOffset), test::kArchiveTestClasses, &error);
    ASSERT_TRUE(few) << qPrintable(error.localizedDescription());
    ASSERT_GT(few->toArray().size(), 1);
    for (const ArchiveValue &copy : few->toArray())
        EXPECT_EQ(copy.toArray().size(), 50);
}

} // namespace
