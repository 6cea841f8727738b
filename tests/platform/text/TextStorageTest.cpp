#include "platform/text/TextStorage.h"

#include "TextFixtures.h"

#include <QTextBlock>

#include <gtest/gtest.h>

using namespace lq;
using namespace lq::test;

namespace {

// Each paragraph's text with whether it is a list paragraph.
QStringList paragraphs(const TextStorage &storage)
{
    QStringList result;
    const QString string = storage.string();
    qsizetype start = 0;
    for (const QString &line : string.split(u'\n')) {
        const TextAttributes attributes =
            storage.length() > 0 ? storage.attributesAt(std::min(start, storage.length() - 1))
                                 : TextAttributes();
        const bool listed =
            attributes.paragraphStyle && !attributes.paragraphStyle->textLists.isEmpty();
        result.append(line + (listed ? QStringLiteral(" [list]") : QString()));
        start += line.size() + 1;
    }
    return result;
}

TEST(TextStorageTest, AnAttributedStringRoundTripsThroughTheDocument)
{
    const AttributedString sample = richSample();
    TextStorage storage;
    storage.setAttributedString(sample);
    EXPECT_EQ(storage.length(), sample.length());
    EXPECT_EQ(storage.string(), sample.string());
    EXPECT_TRUE(storage.attributedString() == sample);
    EXPECT_EQ(storage.document()->blockCount(), 3);

    std::vector<AttributedString::Run> runs;
    storage.enumerateRuns({0, storage.length()}, [&](TextRange range, const TextAttributes &a) {
        runs.push_back({range, a});
    });
    ASSERT_EQ(runs.size(), sample.runs().size());
    for (size_t i = 0; i < runs.size(); ++i)
        EXPECT_EQ(runs[i].range, sample.runs()[i].range) << i;

    // A part of a run, and a substring that starts inside one.
    EXPECT_TRUE(storage.attributedSubstring({10, 12}) == sample.substring({10, 12}));
}

TEST(TextStorageTest, EveryPartOfTheTextCopiesWithItsAttributes)
{
    const AttributedString sample = richSample();
    TextStorage storage;
    storage.setAttributedString(sample);
    const qsizetype length = sample.length();
    const struct
    {
        const char *name;
        TextRange range;
    } cases[] = {
        {"the whole text", {0, length}},
        {"all but the first character", {1, length - 1}},
        {"more than half, from inside a paragraph", {3, length - 5}},
        {"a few characters inside a run", {10, 3}},
        {"across a paragraph end", {5, 6}},
        {"the picture", {sample.string().indexOf(QChar(0xFFFC)), 1}},
        {"the last character", {length - 1, 1}},
        {"nothing", {4, 0}},
    };
    for (const auto &c : cases)
        EXPECT_TRUE(storage.attributedSubstring(c.range) == sample.substring(c.range)) << c.name;
}

TEST(TextStorageTest, AttributesAtGivesThePieceAndTheParagraphEnd)
{
    TextStorage storage;
    storage.setAttributedString(richSample());
    TextRange range;
    const TextAttributes heading = storage.attributesAt(3, &range);
    EXPECT_EQ(range, (TextRange{0, 7}));
    EXPECT_EQ(heading.font->postScriptName, "Helvetica-Bold");
    // The paragraph end keeps the attributes it was given.
    const TextAttributes end = storage.attributesAt(7, &range);
    EXPECT_EQ(range, (TextRange{7, 1}));
    EXPECT_TRUE(end == heading);
    const qsizetype imageAt = storage.string().indexOf(QChar(0xFFFC));
    const TextAttributes image = storage.attributesAt(imageAt, &range);
    ASSERT_TRUE(image.attachment);
    EXPECT_EQ(image.attachment->preferredFileName, "red.png");
    EXPECT_EQ(range, (TextRange{imageAt, 1}));
}

TEST(TextStorageTest, EditsFollowTheRulesOfParagraphsAndAttributes)
{
    struct Case
    {
        const char *name;
        std::function<void(TextStorage &)> edit;
        QStringList expected;
    };
    const Case cases[] = {
        {"a new line inside a list paragraph keeps the list on both halves",
         [](TextStorage &s) {
             s.replaceCharacters({12, 0}, QStringLiteral("\n"));
         },
         {"Heading", "\t•\ts [list]", "ee here now [list]", "Picture: \uFFFC end"}},
        {"deleting a whole paragraph keeps the style of the one after it",
         [](TextStorage &s) {
             s.replaceCharacters({0, 8}, QString());
         },
         {"\t•\tsee here now [list]", "Picture: \uFFFC end"}},
        {"deleting from inside a paragraph into the next keeps the first one's style",
         [](TextStorage &s) {
             s.replaceCharacters({4, 10}, QString());
         },
         {"Head here now", "Picture: \uFFFC end"}},
        {"replacing with paragraphs gives them their own styles",
         [](TextStorage &s) {
             AttributedString inserted;
             TextAttributes listed;
             listed.paragraphStyle = bulletStyle();
             inserted.append(QStringLiteral("one\n"), listed);
             inserted.append(QStringLiteral("two"), TextAttributes());
             s.replaceCharacters({0, 7}, inserted);
         },
         {"one [list]", "two", "\t•\tsee here now [list]", "Picture: \uFFFC end"}},
        {"a paragraph style on part of a paragraph styles all of it",
         [](TextStorage &s) {
             TextAttributes listed;
             listed.paragraphStyle = bulletStyle();
             s.addAttributes({2, 1}, listed);
         },
         {"Heading [list]", "\t•\tsee here now [list]", "Picture: \uFFFC end"}},
        {"removing the paragraph style over two paragraphs",
         [](TextStorage &s) {
             s.removeAttributes({5, 6}, TextAttributes::ParagraphStyle);
         },
         {"Heading", "\t•\tsee here now", "Picture: \uFFFC end"}},
    };
    for (const Case &c : cases) {
        TextStorage storage;
        storage.setAttributedString(richSample());
        c.edit(storage);
        EXPECT_EQ(paragraphs(storage), c.expected) << c.name;
        EXPECT_EQ(storage.length(), storage.string().size()) << c.name;
    }
}

TEST(TextStorageTest, CharacterAttributesChangeOnlyInsideTheRange)
{
    TextStorage storage;
    storage.setAttributedString(richSample());
    AttributedString expected = richSample();
    TextAttributes highlight;
    highlight.backgroundColor = TextColor::grey(0.5, 1.0);
    storage.addAttributes({5, 8}, highlight);
    addAttributes(expected, {5, 8}, highlight);
    EXPECT_TRUE(storage.attributedString() == expected);

    storage.removeAttributes({0, 6}, TextAttributes::Font | TextAttributes::BackgroundColor);
    removeAttributes(expected, {0, 6}, TextAttributes::Font | TextAttributes::BackgroundColor);
    EXPECT_TRUE(storage.attributedString() == expected);

    // Typing takes the attributes of the character before.
    storage.replaceCharacters({storage.length(), 0}, QStringLiteral("!"));
    expected.replace(TextRange{expected.length(), 0}, QStringLiteral("!"));
    EXPECT_TRUE(storage.attributedString() == expected);
}

TEST(TextStorageTest, ImagesAreShownFromTheDocumentsResources)
{
    TextStorage storage;
    storage.setAttributedString(richSample());
    const qsizetype imageAt = storage.string().indexOf(QChar(0xFFFC));
    QTextCursor cursor(storage.document());
    cursor.setPosition(static_cast<int>(imageAt + 1));
    const QTextImageFormat format = cursor.charFormat().toImageFormat();
    ASSERT_TRUE(format.isValid());
    const QVariant image =
        storage.document()->resource(QTextDocument::ImageResource, QUrl(format.name()));
    EXPECT_EQ(image.value<QImage>().size(), QSize(4, 3));
}

} // namespace
