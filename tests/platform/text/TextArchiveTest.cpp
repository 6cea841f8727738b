#include "platform/text/TextArchive.h"

#include "RawArchiveObject.h"
#include "TextFixtures.h"
#include "platform/foundation/Plist.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

using namespace lq;
using namespace lq::test;

namespace {

plist_t objectAt(plist_t archive, plist_t uidNode)
{
    uint64_t uid = 0;
    plist_get_uid_val(uidNode, &uid);
    return plist_array_get_item(plist_dict_get_item(archive, "$objects"),
                                static_cast<uint32_t>(uid));
}

QString className(plist_t archive, plist_t object)
{
    char *name = nullptr;
    plist_get_string_val(
        plist_dict_get_item(objectAt(archive, plist_dict_get_item(object, "$class")), "$classname"),
        &name);
    const QString result = QString::fromUtf8(name);
    free(name);
    return result;
}

QList<quint64> varints(const QByteArray &bytes)
{
    QList<quint64> values;
    quint64 value = 0;
    int shift = 0;
    for (char c : bytes) {
        const auto byte = static_cast<quint8>(c);
        value |= static_cast<quint64>(byte & 0x7f) << shift;
        shift += 7;
        if ((byte & 0x80) == 0) {
            values.append(value);
            value = 0;
            shift = 0;
        }
    }
    return values;
}

TEST(TextArchiveTest, TheWholeTextRoundTrips)
{
    const AttributedString sample = richSample();
    Error error;
    const std::optional<AttributedString> decoded = unarchivedText(archivedText(sample), &error);
    ASSERT_TRUE(decoded) << qPrintable(error.localizedDescription());
    EXPECT_TRUE(*decoded == sample);

    const std::optional<AttributedString> empty = unarchivedText(archivedText({}));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->length(), 0);
}

TEST(TextArchiveTest, TheArchiveHasTheAttributedStringLayout)
{
    const AttributedString sample = richSample();
    const PlistPtr archive = plistFromBinary(archivedText(sample));
    ASSERT_TRUE(archive);
    plist_t root = objectAt(
        archive.get(), plist_dict_get_item(plist_dict_get_item(archive.get(), "$top"), "root"));
    EXPECT_EQ(className(archive.get(), root), "NSAttributedString");

    plist_t string = objectAt(archive.get(), plist_dict_get_item(root, "NSString"));
    EXPECT_EQ(className(archive.get(), string), "NSMutableString");
    char *text = nullptr;
    plist_get_string_val(plist_dict_get_item(string, "NS.string"), &text);
    EXPECT_EQ(QString::fromUtf8(text), sample.string());
    free(text);

    plist_t attributes = objectAt(archive.get(), plist_dict_get_item(root, "NSAttributes"));
    EXPECT_EQ(className(archive.get(), attributes), "NSArray");
    const uint32_t distinct = plist_array_get_size(plist_dict_get_item(attributes, "NS.objects"));

    plist_t info = objectAt(archive.get(), plist_dict_get_item(root, "NSAttributeInfo"));
    ASSERT_TRUE(PLIST_IS_DATA(info));
    char *bytes = nullptr;
    uint64_t length = 0;
    plist_get_data_val(info, &bytes, &length);
    const QList<quint64> pairs = varints(QByteArray(bytes, static_cast<qsizetype>(length)));
    free(bytes);
    ASSERT_EQ(pairs.size(), static_cast<qsizetype>(2 * sample.runs().size()));
    for (size_t i = 0; i < sample.runs().size(); ++i) {
        EXPECT_EQ(pairs[2 * i], static_cast<quint64>(sample.runs()[i].range.length));
        EXPECT_LT(pairs[2 * i + 1], distinct);
    }

    // One run: a single dictionary and no run information.
    const PlistPtr single = plistFromBinary(archivedText(
        AttributedString(QStringLiteral("plain"), fontAttributes(QStringLiteral("Helvetica")))));
    plist_t singleRoot = objectAt(
        single.get(), plist_dict_get_item(plist_dict_get_item(single.get(), "$top"), "root"));
    EXPECT_EQ(className(single.get(),
                        objectAt(single.get(), plist_dict_get_item(singleRoot, "NSAttributes"))),
              "NSDictionary");
    EXPECT_FALSE(plist_dict_get_item(singleRoot, "NSAttributeInfo"));
}

ArchiveValue attributesWithUnderline(int64_t style)
{
    return ArchiveValue::dictionary(
        {{ArchiveValue::string(QStringLiteral("NSUnderline")), ArchiveValue::integer(style)}});
}

QByteArray varintBytes(std::initializer_list<quint64> values)
{
    QByteArray bytes;
    for (quint64 value : values) {
        while (value >= 0x80) {
            bytes.append(static_cast<char>((value & 0x7f) | 0x80));
            value >>= 7;
        }
        bytes.append(static_cast<char>(value));
    }
    return bytes;
}

TEST(TextArchiveTest, DamagedRunsAndValuesAreReadTolerantly)
{
    const ArchiveValue twoDictionaries =
        ArchiveValue::array({attributesWithUnderline(1), attributesWithUnderline(2)});
    const ArchiveValue badColor = ArchiveValue::dictionary(
        {{ArchiveValue::string(QStringLiteral("NSBackgroundColor")),
          RawArchiveObject::make(
              QStringLiteral("LQColor"),
              {{QStringLiteral("space"), ArchiveValue::string(QStringLiteral("rgb"))},
               {QStringLiteral("components"),
                ArchiveValue::array(
                    {ArchiveValue::real(1), ArchiveValue::real(0), ArchiveValue::real(0)})}})},
         {ArchiveValue::string(QStringLiteral("NSUnderline")), ArchiveValue::integer(3)}});
    struct Case
    {
        const char *name;
        QList<std::pair<QString, ArchiveValue>> fields;
        // Underline style per character (-1: none).
        QList<int> expected;
    };
    const Case cases[] = {
        {"runs past the end are cut",
         {{"NSString", ArchiveValue::string("abcd")},
          {"NSAttributes", twoDictionaries},
          {"NSAttributeInfo", ArchiveValue::data(varintBytes({3, 1, 100, 0}))}},
         {2, 2, 2, 1}},
        {"a bad index gives no attributes, characters left over have none",
         {{"NSString", ArchiveValue::string("abcd")},
          {"NSAttributes", twoDictionaries},
          {"NSAttributeInfo", ArchiveValue::data(varintBytes({1, 7, 1, 0}))}},
         {-1, 1, -1, -1}},
        {"no run information: the first dictionary for all",
         {{"NSString", ArchiveValue::string("ab")}, {"NSAttributes", twoDictionaries}},
         {1, 1}},
        {"a truncated number ends the runs",
         {{"NSString", ArchiveValue::string("ab")},
          {"NSAttributes", twoDictionaries},
          {"NSAttributeInfo", ArchiveValue::data(QByteArray("\x01\x01\x81", 3))}},
         {2, -1}},
        {"a colour of three numbers is left out, the rest kept",
         {{"NSString", ArchiveValue::string("ab")}, {"NSAttributes", badColor}},
         {3, 3}},
    };
    for (const Case &c : cases) {
        LogCapture log;
        Error error;
        const std::optional<AttributedString> text =
            unarchivedText(KeyedArchiver::archivedData(RawArchiveObject::make(
                               QStringLiteral("NSAttributedString"), c.fields)),
                           &error);
        ASSERT_TRUE(text) << c.name << ": " << qPrintable(error.localizedDescription());
        QList<int> styles;
        for (qsizetype i = 0; i < text->length(); ++i) {
            const TextAttributes &attributes = text->attributesAt(i);
            styles.append(static_cast<int>(attributes.underlineStyle.value_or(-1)));
            EXPECT_FALSE(attributes.backgroundColor) << c.name;
        }
        EXPECT_EQ(styles, c.expected) << c.name;
    }

    Error error;
    EXPECT_FALSE(unarchivedText(
        KeyedArchiver::archivedData(RawArchiveObject::make(QStringLiteral("NSAttributedString"),
                                                           {{"NSAttributes", twoDictionaries}})),
        &error));
    EXPECT_FALSE(error.localizedDescription().isEmpty());
}

} // namespace
