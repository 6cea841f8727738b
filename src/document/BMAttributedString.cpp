#include "document/BMAttributedString.h"

#include "document/BMAttributeTranslation.h"
#include "document/PackageMember.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Log.h"
#include "platform/text/AttributedStringCoding.h"

#include <QFileInfo>

#include <limits>

using lq::ArchiveAttributes;
using lq::ArchiveValue;
using lq::AttributedString;
using lq::TextAttributes;

namespace {

const QString kClassName = QStringLiteral("BMAttributedString");
const QString kMyStringKey = QStringLiteral("myString");
const QString kImageCounterKey = QStringLiteral("imageCounter");
const QString kPastedImageName = QStringLiteral("pasted graphic.tiff");

QString stemOf(const QString &fileName)
{
    const qsizetype dot = fileName.indexOf(u'.');
    return dot < 0 ? fileName : fileName.left(dot);
}

ArchiveAttributes portableAttributes(const TextAttributes &attributes)
{
    ArchiveAttributes portable;
    if (attributes.font)
        portable.set(kBMFont, BMFontAttributeFromMac(*attributes.font));
    if (attributes.paragraphStyle) {
        if (const auto list = BMTextListAttributeFromMac(*attributes.paragraphStyle))
            portable.set(kBMTextList, *list);
    }
    if (attributes.backgroundColor)
        portable.set(kBMBackgroundColor,
                     BMBackgroundColorAttributeFromMac(*attributes.backgroundColor));
    if (attributes.underlineStyle)
        portable.set(kBMUnderlineStyle,
                     BMUnderlineStyleAttributeFromMac(*attributes.underlineStyle));
    if (attributes.underlineColor)
        portable.set(kBMUnderlineColor,
                     BMUnderlineColorAttributeFromMac(*attributes.underlineColor));
    return portable;
}

std::shared_ptr<BMAttributedString> decodeBMAttributedString(lq::KeyedUnarchiver &coder);

// Registers the classes of a portable text's archive and answers them.
const lq::ArchiveClasses &registerArchiveClasses()
{
    static const lq::ArchiveClasses classes = [] {
        lq::ArchiveClasses names = lq::CodedAttributedString::registerArchiveClasses();
        lq::registerArchiveClass(kClassName, [](lq::KeyedUnarchiver &coder) -> lq::ArchivablePtr {
            return decodeBMAttributedString(coder);
        });
        return names.unite({kClassName});
    }();
    return classes;
}

std::shared_ptr<BMAttributedString> decodeBMAttributedString(lq::KeyedUnarchiver &coder)
{
    const ArchiveValue myString = coder.decodeObject(kMyStringKey);
    const int64_t counter = coder.decodeInt64(kImageCounterKey);
    if (coder.hasFailed())
        return nullptr;
    std::shared_ptr<BMAttributedString> result;
    if (myString.kind() == ArchiveValue::Kind::String) {
        result = std::make_shared<BMAttributedString>(myString.toString());
    } else if (const auto coded = lq::attributedStringFromArchiveValue(myString)) {
        result = std::make_shared<BMAttributedString>();
        result->setMyString(*coded);
    } else if (myString.isNull()) {
        result = std::make_shared<BMAttributedString>();
    } else {
        coder.failWithReason(QStringLiteral("The portable text archive holds no text."));
        return nullptr;
    }
    result->setImageNumber(counter);
    return result;
}

} // namespace

BMAttributedString::BMAttributedString(const QString &string) : m_myString(string)
{}

std::shared_ptr<BMAttributedString> BMAttributedString::BMAttributedStringWithMacAttributedString(
    const AttributedString &text, const QString &imageDir, int64_t imageNumber)
{
    auto result = std::make_shared<BMAttributedString>();
    result->m_imageCounter = imageNumber;
    // Names the package keeps are never handed out to new images.
    QSet<QString> keptNames;
    for (const AttributedString::Run &run : text.runs()) {
        if (!imageDir.isEmpty() && run.attributes.attachment &&
            isPlainImageFileName(run.attributes.attachment->imagePath)) {
            keptNames.insert(run.attributes.attachment->imagePath);
            result->m_usedImageStems.insert(stemOf(run.attributes.attachment->imagePath));
        }
    }
    for (const AttributedString::Run &run : text.runs()) {
        ArchiveAttributes portable = portableAttributes(run.attributes);
        if (run.attributes.attachment) {
            if (const auto image =
                    result->imageAttribute(*run.attributes.attachment, imageDir, keptNames))
                portable.set(kBMImageAttachment, *image);
        }
        result->m_myString.append(text.string().mid(run.range.location, run.range.length),
                                  portable);
    }
    return result;
}

std::optional<ArchiveValue> BMAttributedString::imageAttribute(const lq::TextAttachment &attachment,
                                                               const QString &imageDir,
                                                               QSet<QString> &keptNames)
{
    QString name = attachment.preferredFileName;
    if (name.isEmpty()) {
        lq::log(QStringLiteral("Failed to get filename of image"));
        name = kPastedImageName;
    }
    QString path;
    bool unchanged = false;
    if (!attachment.imagePath.isEmpty() && !isPlainImageFileName(attachment.imagePath))
        lq::log(QStringLiteral("The image “%1” had the file name “%2”, which is not a plain file "
                               "name inside the note; it gets a new name.")
                    .arg(name, attachment.imagePath));
    if (!imageDir.isEmpty() && keptNames.remove(attachment.imagePath)) {
        // The first image of a kept name keeps it.
        path = attachment.imagePath;
        // Linked into the next package only when the stored one holds these very bytes as a
        // file of its own.
        const PackageMember file(imageDir, path);
        if (!file.bytes())
            lq::log(QStringLiteral("Image at %1/%2 appears to have disappeared. Recreating")
                        .arg(imageDir, path));
        else
            unchanged = *file.bytes() == attachment.fileData;
    } else {
        const QString stem = nextImageFile();
        if (stem.isEmpty()) {
            lq::log(QStringLiteral("Failed to find filename for image %1").arg(name));
            return std::nullopt;
        }
        QString extension = QFileInfo(name).suffix();
        extension.remove(QChar(u'\0'));
        path = extension.isEmpty() ? stem : stem + u'.' + extension;
    }
    m_images.append({path, attachment.fileData, unchanged});
    return BMImageAttachmentAttributeFromMac(name, path);
}

QString BMAttributedString::nextImageFile()
{
    while (m_imageCounter < std::numeric_limits<int64_t>::max()) {
        ++m_imageCounter;
        const QString stem = QStringLiteral("image-%1").arg(m_imageCounter);
        if (!m_usedImageStems.contains(stem)) {
            m_usedImageStems.insert(stem);
            return stem;
        }
    }
    return {};
}

AttributedString BMAttributedString::macAttributedStringWithImageDir(const QString &imageDir) const
{
    AttributedString text;
    QHash<QString, QByteArray> filesRead;
    const QString &string = m_myString.string();
    for (const auto &run : m_myString.runs()) {
        const ArchiveAttributes &portable = run.attributes;
        TextAttributes attributes;
        if (const ArchiveValue font = portable.value(kBMFont); !font.isNull())
            attributes.font = macFontAttributeFromBM(font);
        if (const ArchiveValue list = portable.value(kBMTextList); !list.isNull())
            attributes.paragraphStyle = macTextListAttributeFromBM(list);
        if (const ArchiveValue color = portable.value(kBMBackgroundColor); !color.isNull())
            attributes.backgroundColor = macBackgroundColorAttributeFromBM(color);
        if (const ArchiveValue style = portable.value(kBMUnderlineStyle); !style.isNull())
            attributes.underlineStyle = macUnderlineStyleAttributeFromBM(style);
        if (const ArchiveValue color = portable.value(kBMUnderlineColor); !color.isNull())
            attributes.underlineColor = macUnderlineColorAttributeFromBM(color);
        if (const ArchiveValue image = portable.value(kBMImageAttachment); !image.isNull())
            attributes.attachment = macImageAttachmentAttributeFromBM(image, imageDir, filesRead);
        text.append(string.mid(run.range.location, run.range.length), attributes);
    }
    return text;
}

void BMAttributedString::fixUpMacAttributedStringFrom(AttributedString &text,
                                                      const QString & /*imageDir*/) const
{
    for (const auto &run : m_myString.runs()) {
        const ArchiveValue image = run.attributes.value(kBMImageAttachment);
        QString path;
        for (const auto &[key, value] : image.toDictionary()) {
            if (key.toString() == u"imgPath")
                path = value.toString();
        }
        if (path.isEmpty() || run.range.end() > text.length())
            continue;
        if (!isPlainImageFileName(path)) {
            lq::log(QStringLiteral("An image of the portable text has the file name “%1”, which "
                                   "is not a plain file name inside the note; it is left out.")
                        .arg(path));
            continue;
        }
        lq::TextRange textRange;
        const TextAttributes &attributes = text.attributesAt(run.range.location, &textRange);
        if (!attributes.attachment || textRange != run.range)
            continue;
        text.modify(textRange,
                    [&](TextAttributes &changed) { changed.attachment->imagePath = path; });
    }
}

QString BMAttributedString::description() const
{
    QString result = m_myString.string();
    result += QStringLiteral(" (%1 runs, image counter %2)")
                  .arg(m_myString.runs().size())
                  .arg(m_imageCounter);
    return result;
}

QStringList BMAttributedString::archiveClassNames() const
{
    return {kClassName};
}

void BMAttributedString::encodeWithCoder(lq::KeyedArchiver &coder) const
{
    coder.encodeObject(kMyStringKey, lq::attributedStringArchiveValue(m_myString));
    coder.encodeInt64(kImageCounterKey, m_imageCounter);
}

QByteArray BMAttributedString::archivedData() const
{
    return lq::KeyedArchiver::archivedData(
        ArchiveValue::object(std::make_shared<BMAttributedString>(*this)));
}

std::shared_ptr<BMAttributedString> BMAttributedString::unarchived(const QByteArray &data,
                                                                   lq::Error *error)
{
    return lq::KeyedUnarchiver::unarchiveObject<BMAttributedString>(data, registerArchiveClasses(),
                                                                    error);
}
