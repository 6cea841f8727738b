#pragma once

#include "platform/text/AttributedString.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace lq {

// Rich text as one HTML page: a head with the style sheet of the text's fonts and colours, a
// body whose children are the paragraphs (nothing between them, so no white space is added),
// "<br/>" for a line separator and "<img src="file:///NAME"/>" for an image, whose file goes
// beside the page. Images in formats a browser may not show (TIFF) become PNG.
class HtmlWriter
{
public:
    struct File
    {
        QString name;
        QByteArray data;
    };
    struct Page
    {
        QByteArray html; // UTF-8
        QList<File> files;
    };

    static Page write(const AttributedString &text);
    // Text with "&", "<", ">" and both quotes as entities.
    static QString escaped(const QString &text);
};

} // namespace lq
