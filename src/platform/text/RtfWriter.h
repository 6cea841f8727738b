#pragma once

#include "platform/text/AttributedString.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace lq {

// RTF of a whole text, written from its runs: fonts by PostScript name with bold and italic from
// the name's traits, colours (foreground, highlight as \cb, underline), underline styles, links,
// paragraph indents, tab stops and alignment. Characters outside ASCII are \uN escapes with a
// Windows-1252 fallback where Latin-1 has the character, "?" otherwise. Images are left out.
QByteArray rtfFromText(const AttributedString &text);

// A folder of rich text with its images: "TXT.rtf" and one file per image, named after the
// image's preferred file name (made unique), which the text refers to.
struct RtfdFolder
{
    struct File
    {
        QString name;
        QByteArray data;
    };
    QByteArray rtf;
    std::vector<File> images;
};
RtfdFolder rtfdFromText(const AttributedString &text);

inline constexpr char kRtfdTextFileName[] = "TXT.rtf";

} // namespace lq
