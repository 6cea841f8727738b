#include "document/BMAttributeTranslation.h"

#include "document/PackageMember.h"
#include "platform/foundation/Log.h"
#include "platform/text/ArchiveAttributes.h"

#include <unordered_set>

using lq::ArchiveValue;
using lq::numbersFrom;
using lq::realArray;
using lq::TextColor;

namespace {

// Lists nested deeper than this are cut to this depth.
constexpr qsizetype kMaxListDepth = 64;
constexpr double kListIndent = 36.0;
constexpr double kFirstTabStop = 11.0;
constexpr double kTabInterval = 28.0;
constexpr double kTabLimit = 340.0;

ArchiveValue entry(const ArchiveValue &dictionary, const QString &key)
{
    const ArchiveValue *found = lq::valueForKey(dictionary.toDictionary(), key);
    return found ? *found : ArchiveValue();
}

} // namespace

ArchiveValue BMFontAttributeFromMac(const lq::TextFont &font)
{
    return ArchiveValue::dictionary(
        {{ArchiveValue::string(QStringLiteral("name")), ArchiveValue::string(font.postScriptName)},
         {ArchiveValue::string(QStringLiteral("size")),
          ArchiveValue::real(static_cast<float>(font.pointSize))}});
}

std::optional<lq::TextFont> macFontAttributeFromBM(const ArchiveValue &value)
{
    const ArchiveValue name = entry(value, QStringLiteral("name"));
    const ArchiveValue size = entry(value, QStringLiteral("size"));
    if (name.kind() != ArchiveValue::Kind::String || !size.isNumber()) {
        lq::log(QStringLiteral("A font of the portable text has no name or size; it is left out."));
        return std::nullopt;
    }
    return lq::TextFont{name.toString(), static_cast<float>(size.toReal())};
}

std::optional<ArchiveValue> BMTextListAttributeFromMac(const lq::TextParagraphStyle &style)
{
    if (style.textLists.isEmpty())
        return std::nullopt;
    ArchiveValue list;
    for (const QString &format : style.textLists) {
        lq::ArchiveDictionary entries{
            {ArchiveValue::string(QStringLiteral("bulletFormat")), ArchiveValue::string(format)}};
        if (!list.isNull())
            entries.append({ArchiveValue::string(QStringLiteral("parent")), list});
        list = ArchiveValue::dictionary(entries);
    }
    return list;
}

std::optional<lq::TextParagraphStyle> macTextListAttributeFromBM(const ArchiveValue &value)
{
    QStringList innermostFirst;
    std::unordered_set<const void *> seen;
    for (ArchiveValue list = value; !list.isNull(); list = entry(list, QStringLiteral("parent"))) {
        if (list.kind() != ArchiveValue::Kind::Dictionary) {
            lq::log(QStringLiteral("A list of the portable text is not a dictionary; the list "
                                   "ends there."));
            break;
        }
        if (!seen.insert(&list.toDictionary()).second) {
            lq::log(QStringLiteral("A list of the portable text contains itself; the list ends "
                                   "there."));
            break;
        }
        if (innermostFirst.size() == kMaxListDepth) {
            lq::log(QStringLiteral("Lists of the portable text are nested more than %1 deep; "
                                   "the outer ones are left out.")
                        .arg(kMaxListDepth));
            break;
        }
        innermostFirst.append(entry(list, QStringLiteral("bulletFormat")).toString());
    }
    if (innermostFirst.isEmpty())
        return std::nullopt;
    lq::TextParagraphStyle style = lq::TextParagraphStyle::defaultStyle();
    style.textLists = QStringList(innermostFirst.rbegin(), innermostFirst.rend());
    addMacTextTabsAndIndentsForDepth(style, style.textLists.size());
    return style;
}

void addMacTextTabsAndIndentsForDepth(lq::TextParagraphStyle &style, qsizetype depth)
{
    style.headIndent = kListIndent * static_cast<double>(depth);
    style.tabStops.clear();
    const double first = kFirstTabStop + kListIndent * static_cast<double>(depth - 1);
    const double second = kListIndent * static_cast<double>(depth);
    for (double stop : {first, second}) {
        if (stop < kTabLimit)
            style.tabStops.append(stop);
    }
    for (double stop = std::ceil(second / kTabInterval) * kTabInterval; stop < kTabLimit;
         stop += kTabInterval)
        style.tabStops.append(stop);
}

ArchiveValue BMBackgroundColorAttributeFromMac(const TextColor &color)
{
    return realArray(color.toRgb().components());
}

std::optional<TextColor> macBackgroundColorAttributeFromBM(const ArchiveValue &value)
{
    const std::optional<QList<double>> components = numbersFrom(value);
    const std::optional<TextColor> color =
        components ? TextColor::fromComponents(TextColor::Space::Rgb, *components) : std::nullopt;
    if (!color)
        lq::log(QStringLiteral("A background colour of the portable text is not four numbers; "
                               "it is left out."));
    return color;
}

ArchiveValue BMUnderlineStyleAttributeFromMac(int64_t style)
{
    return ArchiveValue::integer(style);
}

std::optional<int64_t> macUnderlineStyleAttributeFromBM(const ArchiveValue &value)
{
    if (!value.isNumber()) {
        lq::log(QStringLiteral("An underline style of the portable text is not a number; it is "
                               "left out."));
        return std::nullopt;
    }
    return value.toInteger();
}

ArchiveValue BMUnderlineColorAttributeFromMac(const TextColor &color)
{
    return realArray(color.components());
}

std::optional<TextColor> macUnderlineColorAttributeFromBM(const ArchiveValue &value)
{
    const std::optional<QList<double>> components = numbersFrom(value);
    std::optional<TextColor> color;
    if (components) {
        switch (components->size()) {
        case 2:
            color = TextColor::fromComponents(TextColor::Space::Grey, *components);
            break;
        case 4:
            color = TextColor::fromComponents(TextColor::Space::Rgb, *components);
            break;
        case 5:
            color = TextColor::fromComponents(TextColor::Space::Cmyk, *components);
            break;
        default:
            break;
        }
    }
    if (!color)
        lq::log(QStringLiteral("An underline colour of the portable text is not two, four or "
                               "five numbers; it is left out."));
    return color;
}

ArchiveValue BMImageAttachmentAttributeFromMac(const QString &imageName, const QString &imagePath)
{
    return ArchiveValue::dictionary(
        {{ArchiveValue::string(QStringLiteral("imgName")), ArchiveValue::string(imageName)},
         {ArchiveValue::string(QStringLiteral("imgPath")), ArchiveValue::string(imagePath)}});
}

std::optional<lq::TextAttachment>
macImageAttachmentAttributeFromBM(const ArchiveValue &value, const QString &imageDir,
                                  QHash<QString, QByteArray> &filesRead)
{
    QString name = entry(value, QStringLiteral("imgName")).toString();
    if (name.isEmpty()) {
        lq::log(QStringLiteral("Internal error, image has no name"));
        name = QStringLiteral("No name.tiff");
    }
    const ArchiveValue pathValue = entry(value, QStringLiteral("imgPath"));
    if (pathValue.kind() != ArchiveValue::Kind::String) {
        lq::log(QStringLiteral("Internal error, image has no path: %1").arg(name));
        return std::nullopt;
    }
    const QString path = pathValue.toString();
    if (!isPlainImageFileName(path)) {
        lq::log(QStringLiteral("The image “%1” has the file name “%2”, which is not a plain file "
                               "name inside the note; it is left out.")
                    .arg(name, path));
        return std::nullopt;
    }
    if (imageDir.isEmpty()) {
        lq::log(QStringLiteral("Failed to find directory with images. Cannot load image %1 at %2")
                    .arg(name, path));
        return std::nullopt;
    }
    auto known = filesRead.constFind(path);
    if (known == filesRead.constEnd()) {
        const PackageMember file(imageDir, path);
        if (!file.bytes()) {
            lq::log(QStringLiteral("Failed to read image file: %1")
                        .arg(file.error().localizedDescription()));
            return std::nullopt;
        }
        known = filesRead.insert(path, *file.bytes());
    }
    return lq::TextAttachment{*known, name, path};
}

bool isPlainImageFileName(const QString &name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') &&
           !name.contains(QChar(u'\0'));
}
