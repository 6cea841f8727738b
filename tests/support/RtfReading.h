#pragma once

// RTF read back as a reader shows it, for checking what the writers produce.

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QList>
#include <QRegularExpression>
#include <QString>

#include <utility>
#include <vector>

namespace lq::test {

struct RtfReading
{
    QString text;                                 // "\n" for \par, U+2028 for \line
    std::vector<QHash<QByteArray, int>> controls; // in force at each character of text
    QList<QColor> colours{QColor()};              // the colour table, 0 the automatic colour

    int control(qsizetype index, const char *word) const
    {
        return controls.at(size_t(index)).value(word, -1);
    }
    QColor colour(int index) const { return index > 0 ? colours.value(index) : QColor(); }
};

// Destinations (tables, field instructions, pictures, "\*") are skipped, as is the one fallback
// character of \uN; \'xx is Latin-1.
inline RtfReading readRtf(const QByteArray &rtf)
{
    RtfReading reading;
    std::vector<std::pair<bool, QHash<QByteArray, int>>> groups(1); // skipped, controls
    bool skipFallback = false;
    static const QStringList destinations{QStringLiteral("fonttbl"), QStringLiteral("colortbl"),
                                          QStringLiteral("fldinst"), QStringLiteral("NeXTGraphic")};
    static const QHash<QString, QChar> characters{{QStringLiteral("par"), u'\n'},
                                                  {QStringLiteral("tab"), u'\t'},
                                                  {QStringLiteral("line"), QChar(0x2028)}};
    // A control word and its value, a hex character, an escaped symbol, a group or line, text.
    static const QRegularExpression token(
        QStringLiteral(R"(\\([a-zA-Z]+)(-?\d+)? ?|\\'(..)|\\([\\{}*])|([{}\r\n])|(.))"),
        QRegularExpression::DotMatchesEverythingOption);
    const QString latin = QString::fromLatin1(rtf);
    for (const auto &m : token.globalMatch(latin)) {
        const QString word = m.captured(1), symbol = m.captured(4), brace = m.captured(5);
        if (brace == u"{")
            groups.push_back(groups.back());
        else if (brace == u"}" && groups.size() > 1)
            groups.pop_back();
        auto &[skipped, controls] = groups.back();
        const QString text = m.captured(6);
        QChar c = text.isEmpty() ? QChar() : text[0];
        if (symbol == u"*" || destinations.contains(word))
            skipped = true;
        else if (!symbol.isEmpty())
            c = symbol[0];
        else if (m.capturedLength(3) == 2)
            c = QChar(m.captured(3).toInt(nullptr, 16));
        else if (word == u"u")
            c = QChar(char16_t(uint16_t(int16_t(m.captured(2).toInt()))));
        else if (characters.contains(word))
            c = characters[word];
        else if (word == u"pard" || word == u"plain")
            controls.clear();
        else if (!word.isEmpty())
            controls.insert(word.toLatin1(), m.captured(2).isEmpty() ? 1 : m.captured(2).toInt());
        // Only the characters of text or escapes are a \uN's fallback.
        const bool isFallback = word.isEmpty();
        if (c.isNull() || skipped || (isFallback && std::exchange(skipFallback, false)))
            continue;
        skipFallback = word == u"u";
        reading.text += c;
        reading.controls.push_back(controls);
    }
    static const QRegularExpression entry(
        QStringLiteral("\\\\red(\\d+)\\\\green(\\d+)\\\\blue(\\d+);"));
    const QString table = latin.section(QStringLiteral("\\colortbl;"), 1).section(u'}', 0, 0);
    for (const auto &m : entry.globalMatch(table))
        reading.colours.append(
            QColor(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()));
    return reading;
}

} // namespace lq::test
