#pragma once

// RTF read back as a reader shows it, for checking what the writers produce.

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QList>
#include <QRegularExpression>
#include <QString>

#include <vector>

namespace lq::test {

struct RtfReading
{
    // The visible text: "\n" for \par, U+2028 for \line, tabs as they are.
    QString text;
    // The control words in force (their last value in the group) at each character of text.
    std::vector<QHash<QByteArray, int>> controls;
    // The colour table, index 0 the automatic colour (invalid).
    QList<QColor> colours;

    int control(qsizetype index, const char *word) const
    {
        return controls.at(size_t(index)).value(word, -1);
    }
    QColor colour(int index) const
    {
        return index >= 0 && index < colours.size() ? colours[index] : QColor();
    }
};

// Reads rtf: destination groups (font and colour tables, field instructions, pictures, "\*")
// skipped, \uN with its one fallback character skipped, \'xx as Latin-1.
inline RtfReading readRtf(const QByteArray &rtf)
{
    struct Group
    {
        bool skipped = false;
        QHash<QByteArray, int> controls;
    };
    RtfReading reading;
    std::vector<Group> groups(1);
    int fallbackToSkip = 0;
    const auto emit = [&](QChar c, bool isFallback) {
        if (groups.back().skipped)
            return;
        if (isFallback && fallbackToSkip > 0) {
            --fallbackToSkip;
            return;
        }
        fallbackToSkip = 0;
        reading.text += c;
        reading.controls.push_back(groups.back().controls);
    };
    static const QList<QByteArray> destinations{"fonttbl", "colortbl", "fldinst", "NeXTGraphic"};
    for (qsizetype i = 0; i < rtf.size();) {
        const char c = rtf[i];
        if (c == '{') {
            groups.push_back(groups.back());
            ++i;
        } else if (c == '}') {
            if (groups.size() > 1)
                groups.pop_back();
            ++i;
        } else if (c == '\\' && i + 1 < rtf.size()) {
            const char next = rtf[i + 1];
            if (next == '\\' || next == '{' || next == '}') {
                emit(QLatin1Char(next), true);
                i += 2;
            } else if (next == '\'') {
                emit(QChar(rtf.mid(i + 2, 2).toInt(nullptr, 16)), true);
                i += 4;
            } else if (next == '*') {
                groups.back().skipped = true;
                i += 2;
            } else {
                qsizetype j = i + 1;
                while (j < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[j])))
                    ++j;
                const QByteArray word = rtf.mid(i + 1, j - i - 1);
                const qsizetype digits = j;
                if (j < rtf.size() && rtf[j] == '-')
                    ++j;
                while (j < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[j])))
                    ++j;
                bool hasValue = false;
                const int value = rtf.mid(digits, j - digits).toInt(&hasValue);
                if (j < rtf.size() && rtf[j] == ' ')
                    ++j;
                i = j;
                if (destinations.contains(word)) {
                    groups.back().skipped = true;
                } else if (word == "u") {
                    emit(QChar(char16_t(uint16_t(int16_t(value)))), false);
                    fallbackToSkip = 1;
                } else if (word == "par") {
                    emit(u'\n', false);
                } else if (word == "tab") {
                    emit(u'\t', false);
                } else if (word == "line") {
                    emit(QChar(0x2028), false);
                } else if (word == "pard" || word == "plain") {
                    groups.back().controls.clear();
                } else {
                    groups.back().controls.insert(word, hasValue ? value : 1);
                }
            }
        } else if (c == '\n' || c == '\r') {
            ++i;
        } else {
            emit(QLatin1Char(c), true);
            ++i;
        }
    }
    static const QRegularExpression table(QStringLiteral("\\\\colortbl;([^}]*)\\}"));
    static const QRegularExpression entry(
        QStringLiteral("\\\\red(\\d+)\\\\green(\\d+)\\\\blue(\\d+);"));
    reading.colours.append(QColor());
    const QString latin = QString::fromLatin1(rtf);
    for (const auto &m : entry.globalMatch(table.match(latin).captured(1)))
        reading.colours.append(
            QColor(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()));
    return reading;
}

} // namespace lq::test
