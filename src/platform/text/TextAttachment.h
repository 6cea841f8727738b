#pragma once

#include <QByteArray>
#include <QString>

namespace lq {

// An image in the text (at a U+FFFC character): the file's bytes as they were given, its
// preferred file name, and its file name inside the note package (empty until it has one).
struct TextAttachment
{
    QByteArray fileData;
    QString preferredFileName;
    QString imagePath;

    friend bool operator==(const TextAttachment &, const TextAttachment &) = default;
};

} // namespace lq
