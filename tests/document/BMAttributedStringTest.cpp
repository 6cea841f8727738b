#include "document/BMAttributedString.h"

#include "document/BMAttributeTranslation.h"
#include "platform/foundation/Plist.h"
#include "support/ImageFixtures.h"
#include "support/LogCapture.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace lq;

namespace {

constexpr char16_t kAttachmentCharacter = 0xFFFC;

QByteArray imageBytes(QColor color)
{
    return lq::test::pngBytes(color, QSize(2, 2));
}

// "a", one image per attachment, "b".
AttributedString textWithImages(const QList<TextAttachment> &attachments)
{
    AttributedString text(QStringLiteral("a"));
    for (const TextAttachment &attachment : attachments) {
        TextAttributes attributes;
        attributes.attachment = attachment;
        text.append(QString(QChar(kAttachmentCharacter)), attributes);
    }
    text.append(QStringLiteral("b"), {});
    return text;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The portable object through its archive and back.
std::shared_ptr<BMAttributedString> throughArchive(const BMAttributedString &object)
{
    Error error;
    auto decoded = BMAttributedString::unarchived(object.archivedData(), &error);
    EXPECT_TRUE(decoded) << qPrintable(error.localizedDescription());
    return decoded;
}

AttributedString roundTrip(const AttributedString &text, const QString &imageDir = {})
{
    auto portable =
        BMAttributedString::BMAttributedStringWithMacAttributedString(text, imageDir, 0);
    auto decoded = throughArchive(*portable);
    return decoded ? decoded->macAttributedStringWithImageDir(imageDir) : AttributedString();
}

TEST(BMAttributedStringTest, ThePortableFormKeepsItsSixAttributesAlone)
{
    TextAttributes attributes;
    attributes.font = TextFont{QStringLiteral("Helvetica-Bold"), 13.5};
    attributes.backgroundColor = TextColor::rgb(1.0, 0.5, 0.25, 0.75);
    attributes.underlineStyle = 0x209;
    attributes.foregroundColor = TextColor::rgb(0.0, 0.0, 1.0);
    attributes.link = QStringLiteral("https://example.org/");
    TextParagraphStyle centred;
    centred.alignment = TextParagraphStyle::Alignment::Center;
    attributes.paragraphStyle = centred;

    const std::pair<TextColor, TextColor> underlineColors[] = {
        {TextColor::grey(0.25, 0.5), TextColor::grey(0.25, 0.5)},
        {TextColor::rgb(0.1, 0.2, 0.3, 0.4), TextColor::rgb(0.1, 0.2, 0.3, 0.4)},
        {TextColor::cmyk(0.1, 0.2, 0.3, 0.4, 0.5), TextColor::cmyk(0.1, 0.2, 0.3, 0.4, 0.5)},
    };
    for (const auto &[color, expected] : underlineColors) {
        attributes.underlineColor = color;
        const AttributedString back =
            roundTrip(AttributedString(QStringLiteral("styled"), attributes));
        ASSERT_EQ(back.runs().size(), 1u);
        const TextAttributes &read = back.runs().front().attributes;
        EXPECT_EQ(back.string(), "styled");
        EXPECT_EQ(read.font, (TextFont{QStringLiteral("Helvetica-Bold"), 13.5}));
        EXPECT_EQ(read.backgroundColor, attributes.backgroundColor);
        EXPECT_EQ(read.underlineStyle, 0x209);
        EXPECT_EQ(read.underlineColor, expected);
        EXPECT_FALSE(read.foregroundColor);
        EXPECT_FALSE(read.link);
        EXPECT_FALSE(read.paragraphStyle);
    }

    // A grey highlight is stored as RGB.
    TextAttributes grey;
    grey.backgroundColor = TextColor::grey(0.5, 1.0);
    const AttributedString back = roundTrip(AttributedString(QStringLiteral("x"), grey));
    EXPECT_EQ(back.runs().front().attributes.backgroundColor, TextColor::rgb(0.5, 0.5, 0.5, 1.0));

    const AttributedString empty = roundTrip({});
    EXPECT_EQ(empty.length(), 0);
}

TEST(BMAttributedStringTest, ListsComeBackWithTheIndentAndTabStopsOfTheirDepth)
{
    struct Case
    {
        int depth;
        double headIndent;
        QList<double> tabStops;
    };
    QList<double> twoLevels{47, 72};
    for (double stop = 84; stop < 340; stop += 28)
        twoLevels.append(stop);
    const Case cases[] = {{2, 72, twoLevels}, {10, 360, {335}}, {11, 396, {}}};
    for (const Case &c : cases) {
        TextParagraphStyle style;
        for (int level = 0; level < c.depth; ++level)
            style.textLists.append(level % 2 ? QStringLiteral("{decimal}.")
                                             : QStringLiteral("{disc}"));
        TextAttributes attributes;
        attributes.paragraphStyle = style;
        const AttributedString back =
            roundTrip(AttributedString(QStringLiteral("\t•\titem\n"), attributes));
        const std::optional<TextParagraphStyle> &read =
            back.runs().front().attributes.paragraphStyle;
        ASSERT_TRUE(read) << c.depth;
        EXPECT_EQ(read->textLists, style.textLists) << c.depth;
        EXPECT_EQ(read->headIndent, c.headIndent) << c.depth;
        EXPECT_EQ(std::vector<double>(read->tabStops.begin(), read->tabStops.end()),
                  std::vector<double>(c.tabStops.begin(), c.tabStops.end()))
            << c.depth;
    }
}

TEST(BMAttributedStringTest, ImagesAreNamedAndComparedWithThePackage)
{
    QTemporaryDir package;
    const QByteArray red = imageBytes(Qt::red);
    const QByteArray blue = imageBytes(Qt::blue);
    writeFile(package.filePath(QStringLiteral("image-2.png")), red);
    writeFile(package.filePath(QStringLiteral("image-4.png")), red);

    struct Case
    {
        const char *name;
        QList<TextAttachment> attachments;
        QString imageDir;
        int64_t counter;
        // Per image: "imgPath", "imgName", fileUnchanged.
        QList<std::tuple<QString, QString, bool>> expected;
        int64_t counterAfter;
        QString logged;
    };
    const QString dir = package.path();
    const Case cases[] = {
        {"a never-saved note names a pasted image from its counter",
         {{red, {}, {}}},
         {},
         3,
         {{"image-4.tiff", "pasted graphic.tiff", false}},
         4,
         "Failed to get filename of image"},
        {"saving again with the same bytes keeps the name and the counter",
         {{red, "red.png", "image-2.png"}},
         dir,
         7,
         {{"image-2.png", "red.png", true}},
         7,
         {}},
        {"changed bytes keep the name but are written",
         {{blue, "red.png", "image-2.png"}},
         dir,
         7,
         {{"image-2.png", "red.png", false}},
         7,
         {}},
        {"a file that is gone is written again",
         {{red, "red.png", "image-9.png"}},
         dir,
         9,
         {{"image-9.png", "red.png", false}},
         9,
         "appears to have disappeared. Recreating"},
        {"a new name never takes a name the package keeps",
         {{blue, "b.jpeg", {}}, {red, "r.png", "image-4.png"}},
         dir,
         3,
         {{"image-5.jpeg", "b.jpeg", false}, {"image-4.png", "r.png", true}},
         5,
         {}},
        {"a second image with a kept name gets a new one",
         {{red, "r.png", "image-4.png"}, {red, "s.png", "image-4.png"}},
         dir,
         0,
         {{"image-4.png", "r.png", true}, {"image-1.png", "s.png", false}},
         1,
         {}},
        {"a kept name that is not a plain file name is replaced",
         {{red, "r.png", "../image-4.png"}},
         dir,
         0,
         {{"image-1.png", "r.png", false}},
         1,
         "not a plain file name"},
        {"a name without an extension",
         {{red, "photo", {}}},
         {},
         0,
         {{"image-1", "photo", false}},
         1,
         {}},
    };
    for (const Case &c : cases) {
        test::LogCapture log;
        const auto portable = BMAttributedString::BMAttributedStringWithMacAttributedString(
            textWithImages(c.attachments), c.imageDir, c.counter);
        EXPECT_EQ(portable->imageNumber(), c.counterAfter) << c.name;
        const QList<BMImageFileEntry> files = portable->imageFiles();
        ASSERT_EQ(files.size(), c.expected.size()) << c.name;
        for (qsizetype i = 0; i < files.size(); ++i) {
            const auto &[path, imageName, unchanged] = c.expected[i];
            EXPECT_EQ(files[i].filePath, path) << c.name;
            EXPECT_EQ(files[i].fileUnchanged, unchanged) << c.name;
            EXPECT_EQ(files[i].fileData, c.attachments[i].fileData) << c.name;
            const ArchiveValue image =
                portable->myString().attributesAt(1 + i).value(kBMImageAttachment);
            EXPECT_EQ(image.toDictionary().value(0).second.toString(), imageName) << c.name;
            EXPECT_EQ(image.toDictionary().value(1).second.toString(), path) << c.name;
        }
        if (!c.logged.isEmpty()) {
            EXPECT_TRUE(log.contains(c.logged)) << c.name;
        }
        // The archive keeps the counter.
        EXPECT_EQ(throughArchive(*portable)->imageNumber(), c.counterAfter) << c.name;
    }
}

TEST(BMAttributedStringTest, ImagesAreReadFromThePackageOnlyByPlainNames)
{
    QTemporaryDir outside;
    const QString package = outside.filePath(QStringLiteral("note.lumaquill"));
    QDir().mkpath(package);
    const QByteArray red = imageBytes(Qt::red);
    writeFile(package + QStringLiteral("/image-1.png"), red);
    writeFile(outside.filePath(QStringLiteral("x")), QByteArrayLiteral("secret"));

    const std::pair<QString, bool> cases[] = {
        {QStringLiteral("image-1.png"), true},   {QStringLiteral("../x"), false},
        {QStringLiteral(".."), false},           {QStringLiteral("image-2.png"), false},
        {QString::fromUtf16(u"a\0b", 3), false}, {QString(), false}};
    for (const auto &[path, found] : cases) {
        test::LogCapture log;
        AttributedRuns<ArchiveAttributes> portable(QStringLiteral("a"));
        ArchiveAttributes image;
        image.set(kBMImageAttachment,
                  BMImageAttachmentAttributeFromMac(QStringLiteral("r.png"), path));
        portable.append(QString(QChar(kAttachmentCharacter)), image);
        BMAttributedString object;
        object.setMyString(portable);
        const AttributedString text = object.macAttributedStringWithImageDir(package);
        EXPECT_EQ(text.string(), QStringLiteral("a") + QChar(kAttachmentCharacter))
            << path.toStdString();
        const std::optional<TextAttachment> &attachment = text.attributesAt(1).attachment;
        EXPECT_EQ(attachment.has_value(), found) << path.toStdString();
        if (found) {
            EXPECT_EQ(attachment->fileData, red);
            EXPECT_EQ(attachment->imagePath, path);
            EXPECT_EQ(attachment->preferredFileName, "r.png");
        } else {
            EXPECT_FALSE(log.lines().isEmpty()) << path.toStdString();
        }
    }

    // Without a folder nothing is read.
    test::LogCapture log;
    const auto saved = BMAttributedString::BMAttributedStringWithMacAttributedString(
        textWithImages({{red, "r.png", {}}}), {}, 0);
    EXPECT_FALSE(saved->macAttributedStringWithImageDir({}).attributesAt(1).attachment);
    EXPECT_TRUE(log.contains("Failed to find directory with images"));
}

TEST(BMAttributedStringTest, HostileValuesAreLeftOutOfTheirRun)
{
    auto numbers = [](QList<double> values) {
        ArchiveArray array;
        for (double value : values)
            array.append(ArchiveValue::real(value));
        return ArchiveValue::array(array);
    };
    // A list chain 100 deep.
    ArchiveValue deepList;
    for (int level = 0; level < 100; ++level) {
        ArchiveDictionary entries{
            {ArchiveValue::string("bulletFormat"), ArchiveValue::string("{disc}")}};
        if (!deepList.isNull())
            entries.append({ArchiveValue::string("parent"), deepList});
        deepList = ArchiveValue::dictionary(entries);
    }
    ArchiveAttributes hostile;
    hostile.set(kBMBackgroundColor, numbers({1, 0, 0}));
    hostile.set(kBMUnderlineColor, numbers({1, 0, 0}));
    hostile.set(kBMUnderlineStyle, ArchiveValue::string("thick"));
    hostile.set(kBMFont, ArchiveValue::array({}));
    hostile.set(kBMTextList, deepList);
    hostile.set(QStringLiteral("Unknown"), ArchiveValue::integer(1));
    ArchiveAttributes mixed;
    mixed.set(kBMBackgroundColor,
              ArchiveValue::array({ArchiveValue::real(1), ArchiveValue::string("x"),
                                   ArchiveValue::real(0), ArchiveValue::real(1)}));
    mixed.set(kBMUnderlineColor, numbers({0.5, 1}));

    AttributedRuns<ArchiveAttributes> portable(QStringLiteral("ab"), hostile);
    portable.append(QStringLiteral("cd"), mixed);
    BMAttributedString object;
    object.setMyString(portable);
    test::LogCapture log;
    const auto decoded = throughArchive(object);
    ASSERT_TRUE(decoded);
    const AttributedString text = decoded->macAttributedStringWithImageDir({});
    const TextAttributes &first = text.attributesAt(0);
    EXPECT_FALSE(first.backgroundColor);
    EXPECT_FALSE(first.underlineColor);
    EXPECT_FALSE(first.underlineStyle);
    EXPECT_FALSE(first.font);
    ASSERT_TRUE(first.paragraphStyle);
    EXPECT_EQ(first.paragraphStyle->textLists.size(), 64);
    const TextAttributes &second = text.attributesAt(2);
    EXPECT_FALSE(second.backgroundColor);
    EXPECT_EQ(second.underlineColor, TextColor::grey(0.5, 1));
    EXPECT_TRUE(log.contains("not four numbers"));
    EXPECT_TRUE(log.contains("more than 64 deep"));
}

TEST(BMAttributedStringTest, FixUpNamesOnlyImagesWhoseRunsMatch)
{
    const QByteArray red = imageBytes(Qt::red);
    const AttributedString saved = textWithImages({{red, "r.png", {}}, {red, "s.png", {}}});
    auto portable = BMAttributedString::BMAttributedStringWithMacAttributedString(saved, {}, 0);
    portable = throughArchive(*portable);

    // As read from "text": no names; the second image moved one character on.
    AttributedString read = saved;
    for (qsizetype index : {1, 2})
        read.modify({index, 1}, [](TextAttributes &a) { a.attachment->imagePath.clear(); });
    read.replace(TextRange{2, 0}, AttributedString(QStringLiteral("x")));
    portable->fixUpMacAttributedStringFrom(read, {});
    EXPECT_EQ(read.attributesAt(1).attachment->imagePath, "image-1.png");
    EXPECT_EQ(read.attributesAt(3).attachment->imagePath, "");
}

TEST(BMAttributedStringTest, TheArchiveIsAKeyedArchiveOthersCanRead)
{
    TextAttributes attributes;
    attributes.font = TextFont{QStringLiteral("Helvetica"), 12};
    AttributedString text(QStringLiteral("Hello "), attributes);
    attributes.underlineStyle = 1;
    text.append(QStringLiteral("world"), attributes);
    const auto portable =
        BMAttributedString::BMAttributedStringWithMacAttributedString(text, {}, 6);
    const QByteArray bytes = portable->archivedData();

    const PlistPtr archive = plistFromBinary(bytes);
    ASSERT_TRUE(archive);
    char *archiver = nullptr;
    plist_get_string_val(plist_dict_get_item(archive.get(), "$archiver"), &archiver);
    EXPECT_STREQ(archiver, "NSKeyedArchiver");
    free(archiver);
    plist_t objects = plist_dict_get_item(archive.get(), "$objects");
    auto objectAt = [&](plist_t uidNode) {
        uint64_t uid = 0;
        plist_get_uid_val(uidNode, &uid);
        return plist_array_get_item(objects, static_cast<uint32_t>(uid));
    };
    plist_t root =
        objectAt(plist_dict_get_item(plist_dict_get_item(archive.get(), "$top"), "root"));
    char *className = nullptr;
    plist_get_string_val(
        plist_dict_get_item(objectAt(plist_dict_get_item(root, "$class")), "$classname"),
        &className);
    EXPECT_STREQ(className, "BMAttributedString");
    free(className);
    EXPECT_TRUE(PLIST_IS_UINT(plist_dict_get_item(root, "imageCounter")));

    const auto decoded = BMAttributedString::unarchived(bytes);
    ASSERT_TRUE(decoded);
    EXPECT_TRUE(decoded->myString() == portable->myString());
    EXPECT_EQ(decoded->imageNumber(), 6);
    EXPECT_TRUE(decoded->imageFiles().isEmpty());

    QProcess python;
    python.start(
        QStringLiteral("python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import plistlib, sys\n"
                        "a = plistlib.loads(sys.stdin.buffer.read())\n"
                        "o = a['$objects']\n"
                        "root = o[a['$top']['root'].data]\n"
                        "s = o[root['myString'].data]\n"
                        "text = o[s['NSString'].data]['NS.string']\n"
                        "print(o[root['$class'].data]['$classname'], root['imageCounter'], "
                        "text, len(o[s['NSAttributes'].data]['NS.objects']))\n")});
    ASSERT_TRUE(python.waitForStarted());
    python.write(bytes);
    python.closeWriteChannel();
    ASSERT_TRUE(python.waitForFinished());
    EXPECT_EQ(QString::fromUtf8(python.readAllStandardOutput()),
              "BMAttributedString 6 Hello world 2\n")
        << python.readAllStandardError().toStdString();
}

} // namespace
