#pragma once

#include <QString>

// A note of about 50 characters a paragraph: 10^5 characters for 2,000 paragraphs.
inline QString noteText(int paragraphs)
{
    const QString line = QStringLiteral("The quick brown fox jumps over the lazy dog again.\n");
    QString text;
    text.reserve(line.size() * paragraphs);
    for (int i = 0; i < paragraphs; ++i)
        text += line;
    return text;
}
