#include "platform/text/AttributedString.h"

#include <gtest/gtest.h>

using namespace lq;

namespace {

TextAttributes withUnderline(int64_t style)
{
    TextAttributes attributes;
    attributes.underlineStyle = style;
    return attributes;
}

// The runs as "text:underline" pieces, for readable comparisons.
QStringList describe(const AttributedString &string)
{
    QStringList pieces;
    for (const auto &run : string.runs())
        pieces.append(string.string().mid(run.range.location, run.range.length) + u':' +
                      QString::number(run.attributes.underlineStyle.value_or(-1)));
    return pieces;
}

AttributedString sample()
{
    AttributedString string;
    string.append(QStringLiteral("abc"), withUnderline(1));
    string.append(QStringLiteral("def"), withUnderline(2));
    string.append(QStringLiteral("ghi"), {});
    return string;
}

TEST(AttributedRunsTest, EditsKeepRunsCoveringAndJoined)
{
    struct Case
    {
        const char *name;
        std::function<void(AttributedString &)> edit;
        QStringList expected;
    };
    const Case cases[] = {
        {"add over a run border",
         [](auto &s) {
             addAttributes(s, {2, 2}, withUnderline(2));
         },
         {"ab:1", "cdef:2", "ghi:-1"}},
        {"remove joins with the plain run",
         [](auto &s) {
             removeAttributes(s, {3, 3}, TextAttributes::UnderlineStyle);
         },
         {"abc:1", "defghi:-1"}},
        {"replace inside takes the first replaced character's attributes",
         [](auto &s) {
             s.replace(TextRange{4, 1}, QStringLiteral("XY"));
         },
         {"abc:1", "dXYf:2", "ghi:-1"}},
        {"insert takes the attributes of the character before",
         [](auto &s) {
             s.replace(TextRange{3, 0}, QStringLiteral("Z"));
         },
         {"abcZ:1", "def:2", "ghi:-1"}},
        {"insert at the start takes the first character's",
         [](auto &s) {
             s.replace(TextRange{0, 0}, QStringLiteral("Z"));
         },
         {"Zabc:1", "def:2", "ghi:-1"}},
        {"replace with attributed text joins equal neighbours",
         [](auto &s) {
             s.replace(TextRange{3, 3}, AttributedString("Q", withUnderline(1)));
         },
         {"abcQ:1", "ghi:-1"}},
        {"delete everything",
         [](auto &s) {
             s.replace(TextRange{0, 9}, QString());
         },
         {}},
        {"an empty range changes nothing",
         [](auto &s) {
             addAttributes(s, {4, 0}, withUnderline(7));
         },
         {"abc:1", "def:2", "ghi:-1"}},
    };
    for (const Case &c : cases) {
        AttributedString string = sample();
        c.edit(string);
        EXPECT_EQ(describe(string), c.expected) << c.name;
        qsizetype covered = 0;
        for (const auto &run : string.runs()) {
            EXPECT_EQ(run.range.location, covered) << c.name;
            EXPECT_GT(run.range.length, 0) << c.name;
            covered = run.range.end();
        }
        EXPECT_EQ(covered, string.length()) << c.name;
    }
}

TEST(AttributedRunsTest, AttributesAtAnswersTheWholeRun)
{
    const AttributedString string = sample();
    const std::pair<qsizetype, TextRange> cases[] = {
        {0, {0, 3}}, {2, {0, 3}}, {3, {3, 3}}, {5, {3, 3}}, {8, {6, 3}}};
    for (const auto &[index, expected] : cases) {
        TextRange range;
        string.attributesAt(index, &range);
        EXPECT_EQ(range, expected) << index;
    }
    EXPECT_EQ(describe(string.substring({2, 5})), QStringList({"c:1", "def:2", "g:-1"}));
}

} // namespace
