// Writes archives of small texts, whole and portable, and an archive of another class that a
// hostile note could hold in their place, into a folder, as starting points for the text archive
// fuzzer.

#include "document/BMAttributedString.h"
#include "model/WrenEvents.h"
#include "platform/text/TextArchive.h"
#include "support/HostileArchives.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

using namespace lq;

bool writeBytes(const QDir &folder, const QString &name, const QByteArray &bytes)
{
    QFile file(folder.filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

AttributedString sample()
{
    TextAttributes plain;
    plain.font = TextFont{QStringLiteral("Helvetica"), 12.0};
    AttributedString text(QStringLiteral("Notes\n"), plain);
    TextAttributes listed = plain;
    TextParagraphStyle style = TextParagraphStyle::defaultStyle();
    style.textLists = {QStringLiteral("{disc}"), QStringLiteral("{decimal}.")};
    listed.paragraphStyle = style;
    listed.backgroundColor = TextColor::rgb(1, 1, 0, 1);
    listed.underlineStyle = 1;
    listed.underlineColor = TextColor::cmyk(0.1, 0.2, 0.3, 0.4, 1);
    listed.link = QStringLiteral("https://example.org/");
    text.append(QStringLiteral("\t1.\titem\n"), listed);
    TextAttributes image = plain;
    image.attachment = TextAttachment{QByteArrayLiteral("not really an image"),
                                      QStringLiteral("photo.png"), QStringLiteral("image-1.png")};
    text.append(QString(QChar(0xFFFC)), image);
    return text;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <seed folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const AttributedString text = sample();
    const auto portable =
        BMAttributedString::BMAttributedStringWithMacAttributedString(text, {}, 3);
    const bool written =
        writeBytes(folder, QStringLiteral("text"), archivedText(text)) &&
        writeBytes(folder, QStringLiteral("bmtext"), portable->archivedData()) &&
        writeBytes(folder, QStringLiteral("empty-text"), archivedText({})) &&
        writeBytes(folder, QStringLiteral("event-store-as-text"),
                   test::eventsArchive({test::timeStampObject(
                       WrenTimeStampTypeKey, 0, 1.0, WrenEvents::kMaxCharacterCount - 1)}));
    return written ? 0 : 1;
}
