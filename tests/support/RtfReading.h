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
    const auto emit = [&](QChar c, bool isFallback) {
        if (groups.back().first || (isFallback && std::exchange(skipFallback, false)))
            return;
        skipFallback = false;
        reading.text += c;
        reading.controls.push_back(groups.back().second);
    };
    static const QList<QByteArray> destinations{"fonttbl", "colortbl", "fldinst", "NeXTGraphic"};
    static const QRegularExpression control(QStringLiteral("\\\\([a-zA-Z]+)(-?\\d+)? ?"));
    const QString latin = QString::fromLatin1(rtf);
    for (qsizetype i = 0; i < latin.size();) {
        const QChar c = latin[i];
        const QChar next = i + 1 < latin.size() ? latin[i + 1] : QChar();
        const auto m = c == u'\\' ? control.match(latin, i, QRegularExpression::NormalMatch,
                                                  QRegularExpression::AnchorAtOffsetMatchOption)
                                  : QRegularExpressionMatch();
        if (c == u'{' || c == u'}') {
            if (c == u'{')
                groups.push_back(groups.back());
            else if (groups.size() > 1)
                groups.pop_back();
            ++i;
        } else if (c == u'\\' && (next == u'\\' || next == u'{' || next == u'}')) {
            emit(next, true);
            i += 2;
        } else if (c == u'\\' && next == u'\'') {
            emit(QChar(latin.mid(i + 2, 2).toInt(nullptr, 16)), true);
            i += 4;
        } else if (c == u'\\' && next == u'*') {
            groups.back().first = true;
            i += 2;
        } else if (m.hasMatch()) {
            i += m.capturedLength();
            const QByteArray word = m.captured(1).toLatin1();
            const int value = m.captured(2).isEmpty() ? 1 : m.captured(2).toInt();
            static const QHash<QByteArray, QChar> characters{
                {"par", u'\n'}, {"tab", u'\t'}, {"line", QChar(0x2028)}};
            if (destinations.contains(word)) {
                groups.back().first = true;
            } else if (word == "u") {
                emit(QChar(char16_t(uint16_t(int16_t(value)))), false);
                skipFallback = true;
            } else if (characters.contains(word)) {
                emit(characters[word], false);
            } else if (word == "pard" || word == "plain") {
                groups.back().second.clear();
            } else {
                groups.back().second.insert(word, value);
            }
        } else {
            if (c != u'\n' && c != u'\r')
                emit(c, true);
            ++i;
        }
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
