#pragma once

#include <QString>

// The line repeated for each paragraph.
inline QString repeatedLines(const QString &line, int paragraphs)
{
    QString text;
    text.reserve(line.size() * paragraphs);
    for (int i = 0; i < paragraphs; ++i)
        text += line;
    return text;
}

// One paragraph of the given number of characters, words of the same sentence throughout.
inline QString longParagraph(qsizetype characters)
{
    const QString words = QStringLiteral("The quick brown fox jumps over the lazy dog again. ");
    QString text;
    text.reserve(characters);
    while (text.size() < characters)
        text += words;
    text.truncate(characters);
    return text;
}

// A note of about 50 characters a paragraph: 10^5 characters for 2,000 paragraphs.
inline QString noteText(int paragraphs)
{
    return repeatedLines(QStringLiteral("The quick brown fox jumps over the lazy dog again.\n"),
                         paragraphs);
}

// The same note with every paragraph an item of a bulleted list: its marker, then the line.
inline QString listText(int paragraphs)
{
    return repeatedLines(QStringLiteral("\t\u2022\tThe quick brown fox jumps over the lazy dog.\n"),
                         paragraphs);
}
