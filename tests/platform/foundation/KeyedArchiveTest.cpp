#include "KeyedArchiveTestClasses.h"
#include "platform/foundation/ArchiveValue.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Plist.h"

#include <QProcess>
#include <QTemporaryFile>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace lq;
using lq::test::ArchiveTestDerivedNote;
using lq::test::ArchiveTestLink;
using lq::test::ArchiveTestNote;

namespace {

class KeyedArchiveTest : public testing::Test
{
protected:
    static void SetUpTestSuite() { test::registerArchiveTestClasses(); }

    static ArchiveValue roundTrip(const ArchiveValue &value)
    {
        Error error;
        const std::optional<ArchiveValue> decoded = KeyedUnarchiver::unarchive(
            KeyedArchiver::archivedData(value), test::kArchiveTestClasses, &error);
        EXPECT_TRUE(decoded) << qPrintable(error.localizedDescription());
        return decoded.value_or(ArchiveValue());
    }
};

QString number(double value)
{
    return QString::number(value, 'g', 17);
}

// Kind and value all the way down, objects by the fields of the test classes, so that two values
// compare as text and a difference shows where it lies.
QString dump(const ArchiveValue &value)
{
    QStringList parts;
    switch (value.kind()) {
    case ArchiveValue::Kind::Null:
        return QStringLiteral("null");
    case ArchiveValue::Kind::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case ArchiveValue::Kind::Integer:
        return QStringLiteral("int ") + QString::number(value.toInteger());
    case ArchiveValue::Kind::Real:
        return QStringLiteral("real ") + number(value.toReal());
    case ArchiveValue::Kind::String:
        return QStringLiteral("\"%1\"").arg(value.toString());
    case ArchiveValue::Kind::Data:
        return QStringLiteral("data ") + QString::fromLatin1(value.toData().toHex());
    case ArchiveValue::Kind::Date:
        return QStringLiteral("date ") + number(value.toDate().secondsSinceReferenceDate());
    case ArchiveValue::Kind::Array:
        for (const ArchiveValue &item : value.toArray())
            parts.append(dump(item));
        return u'[' + parts.join(u',') + u']';
    case ArchiveValue::Kind::Dictionary:
        for (const auto &[key, item] : value.toDictionary())
            parts.append(dump(key) + u':' + dump(item));
        return u'{' + parts.join(u',') + u'}';
    case ArchiveValue::Kind::Object:
        if (const auto note = value.objectAs<ArchiveTestNote>()) {
            const ArchiveTestNote &object = *note;
            parts = {QString::fromLatin1(typeid(object).name()),
                     QString::number(note->number),
                     QString::number(note->wide),
                     number(note->ratio),
                     number(note->weight),
                     QString::number(note->flag),
                     QString::number(note->dollar),
                     dump(note->attachment)};
        }
        return u'<' + parts.join(u',') + u'>';
    }
    return {};
}

ArchiveValue str(const char16_t *text)
{
    return ArchiveValue::string(QString::fromUtf16(text));
}

std::shared_ptr<ArchiveTestNote> makeNote(int32_t number, ArchiveValue attachment = {})
{
    auto note = std::make_shared<ArchiveTestNote>();
    note->number = number;
    note->wide = std::numeric_limits<int64_t>::min();
    note->ratio = 0.1f;
    note->weight = -1e300;
    note->flag = true;
    note->dollar = 7;
    note->attachment = std::move(attachment);
    return note;
}

TEST_F(KeyedArchiveTest, EveryKindOfValueSurvivesARoundTrip)
{
    const QString withNul = QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b");
    const QByteArray binary("\0\x01\xff\x7f\x80", 5);
    auto extremes = makeNote(static_cast<int32_t>(0x80000001u));
    extremes->wide = std::numeric_limits<int64_t>::max();
    extremes->ratio = std::numeric_limits<float>::max();
    extremes->weight = std::numeric_limits<double>::denorm_min();
    extremes->flag = false;
    extremes->dollar = std::numeric_limits<int32_t>::min();
    // More than 2^16 objects: references and offsets of three bytes.
    ArchiveArray many;
    for (int i = 0; i < 70000; ++i)
        many.append(i % 2 ? ArchiveValue::integer(i) : ArchiveValue::object(makeNote(i)));
    const struct
    {
        const char *name;
        ArchiveValue value;
    } cases[] = {
        {"null", ArchiveValue()},
        {"true", ArchiveValue::boolean(true)},
        {"false", ArchiveValue::boolean(false)},
        {"zero", ArchiveValue::integer(0)},
        {"minus one", ArchiveValue::integer(-1)},
        {"int64 minimum", ArchiveValue::integer(std::numeric_limits<int64_t>::min())},
        {"int64 maximum", ArchiveValue::integer(std::numeric_limits<int64_t>::max())},
        {"2^32", ArchiveValue::integer(int64_t(1) << 32)},
        {"real", ArchiveValue::real(-2.5e-300)},
        {"infinity", ArchiveValue::real(std::numeric_limits<double>::infinity())},
        {"NaN", ArchiveValue::real(std::numeric_limits<double>::quiet_NaN())},
        {"empty string", ArchiveValue::string(QString())},
        {"ASCII string", str(u"hello")},
        {"string of 15 characters", str(u"exactly fifteen")},
        {"string with U+0000", ArchiveValue::string(withNul)},
        {"only U+0000", ArchiveValue::string(QString(3, QChar(u'\0')))},
        {"non-ASCII string", str(u"héllo wörld ✓ 𝄞")},
        {"string that looks like null", str(u"$null")},
        {"empty data", ArchiveValue::data(QByteArray())},
        {"binary data", ArchiveValue::data(binary)},
        {"long data", ArchiveValue::data(QByteArray(70000, 'x'))},
        {"date at the reference", ArchiveValue::date(Date(0.0))},
        {"date before it", ArchiveValue::date(Date(-1.5e9))},
        {"date with fraction", ArchiveValue::date(Date(725846400.123456))},
        {"empty array", ArchiveValue::array({})},
        {"nested arrays",
         ArchiveValue::array({ArchiveValue::array({ArchiveValue::integer(1), ArchiveValue()}),
                              ArchiveValue::array({}), str(u"x")})},
        {"empty dictionary", ArchiveValue::dictionary({})},
        {"dictionary with number and string keys",
         ArchiveValue::dictionary({{ArchiveValue::integer(3), ArchiveValue::real(1.5)},
                                   {ArchiveValue::integer(-7), ArchiveValue()},
                                   {ArchiveValue::real(0.5), str(u"half")},
                                   {str(u"name"), ArchiveValue::array({str(u"v")})}})},
        {"object", ArchiveValue::object(makeNote(-1, ArchiveValue::data(binary)))},
        {"object with extreme fields", ArchiveValue::object(extremes)},
        {"derived object", ArchiveValue::object(std::make_shared<ArchiveTestDerivedNote>())},
        {"objects in collections",
         ArchiveValue::dictionary(
             {{str(u"notes"), ArchiveValue::array({ArchiveValue::object(makeNote(1)),
                                                   ArchiveValue::object(makeNote(2))})}})},
        {"more than 2^16 objects", ArchiveValue::array(many)},
    };
    for (const auto &testCase : cases)
        EXPECT_EQ(dump(roundTrip(testCase.value)), dump(testCase.value)) << testCase.name;
}

TEST_F(KeyedArchiveTest, SharedObjectsAreWrittenOnceAndDecodeToOneObject)
{
    const auto shared = makeNote(5);
    auto firstLink = std::make_shared<ArchiveTestLink>();
    firstLink->target = ArchiveValue::object(shared);
    auto secondLink = std::make_shared<ArchiveTestLink>();
    secondLink->target = ArchiveValue::object(shared);
    const ArchiveValue sharedArray = ArchiveValue::array({str(u"in both")});
    const ArchiveValue root =
        ArchiveValue::array({ArchiveValue::object(shared), ArchiveValue::object(firstLink),
                             ArchiveValue::object(secondLink), ArchiveValue::object(makeNote(5)),
                             sharedArray, sharedArray});

    const QByteArray bytes = KeyedArchiver::archivedData(root);
    const PlistPtr plist = plistFromBinary(bytes);
    ASSERT_TRUE(plist);
    plist_t objects = plist_dict_get_item(plist.get(), "$objects");
    int notes = 0;
    for (uint32_t i = 0; i < plist_array_get_size(objects); ++i)
        notes += plist_dict_get_item(plist_array_get_item(objects, i), "number") != nullptr;
    EXPECT_EQ(notes, 2);

    const std::optional<ArchiveValue> decoded =
        KeyedUnarchiver::unarchive(bytes, test::kArchiveTestClasses);
    ASSERT_TRUE(decoded);
    const ArchiveArray &items = decoded->toArray();
    ASSERT_EQ(items.size(), 6);
    const auto note = items[0].objectAs<ArchiveTestNote>();
    ASSERT_TRUE(note);
    EXPECT_EQ(items[1].objectAs<ArchiveTestLink>()->target.toObject(), note);
    EXPECT_EQ(items[2].objectAs<ArchiveTestLink>()->target.toObject(), note);
    EXPECT_NE(items[3].toObject(), note);
    EXPECT_EQ(&items[4].toArray(), &items[5].toArray());
}

// Encodes two arrays that live only while each is written.
class TemporaryArrays : public Archivable
{
public:
    QStringList archiveClassNames() const override { return {QStringLiteral("TestLink")}; }
    void encodeWithCoder(KeyedArchiver &coder) const override
    {
        coder.encodeObject(QStringLiteral("target"),
                           ArchiveValue::array({ArchiveValue::integer(1)}));
        coder.encodeObject(QStringLiteral("other"),
                           ArchiveValue::array({ArchiveValue::integer(2)}));
    }
};

TEST_F(KeyedArchiveTest, TemporaryValuesAtOneAddressStayDistinct)
{
    const QByteArray bytes =
        KeyedArchiver::archivedData(ArchiveValue::object(std::make_shared<TemporaryArrays>()));
    const PlistPtr plist = plistFromBinary(bytes);
    ASSERT_TRUE(plist);
    plist_t objects = plist_dict_get_item(plist.get(), "$objects");
    std::vector<uint64_t> integers;
    for (uint32_t i = 0; i < plist_array_get_size(objects); ++i) {
        plist_t item = plist_array_get_item(objects, i);
        if (plist_get_node_type(item) == PLIST_UINT) {
            uint64_t value = 0;
            plist_get_uint_val(item, &value);
            integers.push_back(value);
        }
    }
    EXPECT_THAT(integers, testing::UnorderedElementsAre(1u, 2u));
}

TEST_F(KeyedArchiveTest, RepeatedKeysClassesAndValuesAreStoredOnce)
{
    ArchiveArray notes;
    for (int i = 0; i < 1000; ++i)
        notes.append(ArchiveValue::object(makeNote(i % 3, str(u"shared text"))));
    const QByteArray bytes = KeyedArchiver::archivedData(ArchiveValue::array(notes));
    EXPECT_EQ(bytes.count("number"), 1);
    EXPECT_EQ(bytes.count("TestNote"), 1);
    EXPECT_EQ(bytes.count("shared text"), 1);
    EXPECT_EQ(bytes.count("NSObject"), 1); // ends the chains of TestNote and NSArray
    EXPECT_TRUE(KeyedUnarchiver::unarchive(bytes, test::kArchiveTestClasses));
}

TEST_F(KeyedArchiveTest, AbsentAndNullKeysReadAsZeroWithoutFailing)
{
    // A link's dictionary has only "target": every other key of a note is absent.
    auto link = std::make_shared<ArchiveTestLink>();
    const QByteArray bytes = KeyedArchiver::archivedData(ArchiveValue::object(link));
    registerArchiveClass(QStringLiteral("TestLink"), [](KeyedUnarchiver &coder) {
        EXPECT_TRUE(coder.containsValue(QStringLiteral("target")));
        EXPECT_TRUE(coder.decodeObject(QStringLiteral("target")).isNull());
        EXPECT_FALSE(coder.containsValue(QStringLiteral("number")));
        EXPECT_EQ(coder.decodeInt32(QStringLiteral("number")), 0);
        EXPECT_EQ(coder.decodeInt64(QStringLiteral("number")), 0);
        EXPECT_EQ(coder.decodeDouble(QStringLiteral("number")), 0.0);
        EXPECT_FALSE(coder.decodeBool(QStringLiteral("number")));
        EXPECT_TRUE(coder.decodeObject(QStringLiteral("number")).isNull());
        EXPECT_FALSE(coder.hasFailed());
        return ArchivablePtr(std::make_shared<ArchiveTestLink>());
    });
    Error error;
    EXPECT_TRUE(
        KeyedUnarchiver::unarchiveObject<ArchiveTestLink>(bytes, test::kArchiveTestClasses, &error))
        << qPrintable(error.localizedDescription());
    registerArchiveClass(QStringLiteral("TestLink"), ArchiveTestLink::decode);
}

TEST_F(KeyedArchiveTest, WritesTheKeyedArchiveLayout)
{
    auto note = std::make_shared<ArchiveTestDerivedNote>();
    note->number = -1;
    note->attachment = ArchiveValue::array({ArchiveValue::date(Date(10.5)), str(u"s")});
    const ArchiveValue root =
        ArchiveValue::array({ArchiveValue::object(note), ArchiveValue::object(makeNote(1)),
                             ArchiveValue::object(makeNote(2))});
    const PlistPtr plist = plistFromBinary(KeyedArchiver::archivedData(root));
    ASSERT_TRUE(plist);
    auto stringAt = [](plist_t node) {
        const char *text = plist_get_string_ptr(node, nullptr);
        return PLIST_IS_STRING(node) && text ? QString::fromUtf8(text) : QString();
    };
    auto uidAt = [](plist_t node) {
        uint64_t value = std::numeric_limits<uint64_t>::max();
        if (PLIST_IS_UID(node))
            plist_get_uid_val(node, &value);
        return value;
    };

    EXPECT_EQ(stringAt(plist_dict_get_item(plist.get(), "$archiver")), "NSKeyedArchiver");
    uint64_t version = 0;
    plist_get_uint_val(plist_dict_get_item(plist.get(), "$version"), &version);
    EXPECT_EQ(version, 100000u);
    plist_t objects = plist_dict_get_item(plist.get(), "$objects");
    ASSERT_TRUE(PLIST_IS_ARRAY(objects));
    EXPECT_EQ(stringAt(plist_array_get_item(objects, 0)), "$null");
    auto object = [&](uint64_t uid) { return plist_array_get_item(objects, uint32_t(uid)); };
    auto classChain = [&](plist_t archived) {
        plist_t record = object(uidAt(plist_dict_get_item(archived, "$class")));
        QStringList chain{stringAt(plist_dict_get_item(record, "$classname"))};
        plist_t classes = plist_dict_get_item(record, "$classes");
        for (uint32_t i = 0; i < plist_array_get_size(classes); ++i)
            chain.append(stringAt(plist_array_get_item(classes, i)));
        return chain;
    };

    plist_t array =
        object(uidAt(plist_dict_get_item(plist_dict_get_item(plist.get(), "$top"), "root")));
    EXPECT_EQ(classChain(array), QStringList({"NSArray", "NSArray", "NSObject"}));
    plist_t elements = plist_dict_get_item(array, "NS.objects");
    ASSERT_EQ(plist_array_get_size(elements), 3u);
    auto element = [&](uint32_t i) { return object(uidAt(plist_array_get_item(elements, i))); };
    plist_t derived = element(0);
    EXPECT_EQ(classChain(derived),
              QStringList({"TestDerivedNote", "TestDerivedNote", "TestNote", "NSObject"}));
    EXPECT_EQ(classChain(element(1)), QStringList({"TestNote", "TestNote", "NSObject"}));
    // One class record per class name, shared by the objects of that class.
    EXPECT_EQ(uidAt(plist_dict_get_item(element(1), "$class")),
              uidAt(plist_dict_get_item(element(2), "$class")));

    // Coder values sit in the object's own dictionary; a "$" key is escaped.
    uint64_t number = 0;
    ASSERT_TRUE(PLIST_IS_UINT(plist_dict_get_item(derived, "number")));
    plist_get_uint_val(plist_dict_get_item(derived, "number"), &number);
    EXPECT_EQ(static_cast<int64_t>(number), -1);
    EXPECT_TRUE(PLIST_IS_REAL(plist_dict_get_item(derived, "weight")));
    EXPECT_TRUE(PLIST_IS_BOOLEAN(plist_dict_get_item(derived, "flag")));
    EXPECT_TRUE(PLIST_IS_UINT(plist_dict_get_item(derived, "$$class")));
    EXPECT_TRUE(PLIST_IS_UID(plist_dict_get_item(derived, "attachment")));

    plist_t attachment = object(uidAt(plist_dict_get_item(derived, "attachment")));
    plist_t date =
        object(uidAt(plist_array_get_item(plist_dict_get_item(attachment, "NS.objects"), 0)));
    EXPECT_EQ(classChain(date), QStringList({"NSDate", "NSDate", "NSObject"}));
    double seconds = 0.0;
    plist_get_real_val(plist_dict_get_item(date, "NS.time"), &seconds);
    EXPECT_EQ(seconds, 10.5);
}

// Runs a program with the given input; its standard output, or a failure.
QString runProgram(const QString &program, const QStringList &arguments,
                   const QByteArray &input = {})
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(10000)) {
        ADD_FAILURE() << "Could not start " << program.toStdString();
        return {};
    }
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

TEST_F(KeyedArchiveTest, NegativeIntegersAndNulCharactersReadCorrectlyElsewhere)
{
    const QString withNul = QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b");
    auto note = makeNote(-1, ArchiveValue::string(withNul));
    note->dollar = static_cast<int32_t>(0x80000001u);
    note->wide = -5;
    const QByteArray bytes = KeyedArchiver::archivedData(ArchiveValue::object(note));

    const QString script =
        QStringLiteral("import plistlib, sys\n"
                       "archive = plistlib.loads(sys.stdin.buffer.read())\n"
                       "note = archive['$objects'][archive['$top']['root'].data]\n"
                       "text = archive['$objects'][note['attachment'].data]\n"
                       "print(note['number'], note['$$class'], note['wide'], repr(text))\n");
    EXPECT_EQ(runProgram(QStringLiteral("python3"), {QStringLiteral("-c"), script}, bytes),
              QStringLiteral("-1 -2147483647 -5 'a\\x00b'\n"));

    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    file.write(bytes);
    file.close();
    const QString xml =
        runProgram(QStringLiteral("plistutil"), {QStringLiteral("-i"), file.fileName()});
    EXPECT_TRUE(xml.contains(QStringLiteral("<integer>-1</integer>"))) << xml.toStdString();
    EXPECT_TRUE(xml.contains(QStringLiteral("<integer>-2147483647</integer>")))
        << xml.toStdString();
}

TEST_F(KeyedArchiveTest, UnarchiveObjectRefusesAnotherRootClass)
{
    Error error;
    EXPECT_FALSE(KeyedUnarchiver::unarchiveObject<ArchiveTestLink>(
        KeyedArchiver::archivedData(ArchiveValue::object(makeNote(1))), test::kArchiveTestClasses,
        &error));
    EXPECT_EQ(error.domain(), "archive");
    EXPECT_TRUE(error.localizedDescription().endsWith(u'.'));
    EXPECT_TRUE(KeyedUnarchiver::unarchiveObject<ArchiveTestNote>(
        KeyedArchiver::archivedData(ArchiveValue::object(makeNote(1))), test::kArchiveTestClasses));
}

} // namespace
