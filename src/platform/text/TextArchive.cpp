#include "platform/text/TextArchive.h"

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Log.h"
#include "platform/text/ArchiveAttributes.h"
#include "platform/text/AttributedStringCoding.h"

#include <algorithm>

namespace lq {

namespace {

const QString kFont = QStringLiteral("NSFont");
const QString kForeground = QStringLiteral("NSColor");
const QString kBackground = QStringLiteral("NSBackgroundColor");
const QString kUnderline = QStringLiteral("NSUnderline");
const QString kUnderlineColor = QStringLiteral("NSUnderlineColor");
const QString kLink = QStringLiteral("NSLink");
const QString kParagraphStyle = QStringLiteral("NSParagraphStyle");
const QString kAttachment = QStringLiteral("NSAttachment");

const QString kFontClass = QStringLiteral("LQFont");
const QString kColorClass = QStringLiteral("LQColor");
const QString kParagraphStyleClass = QStringLiteral("LQParagraphStyle");
const QString kAttachmentClass = QStringLiteral("LQTextAttachment");

// Lists nested deeper than this are cut to this depth on reading.
constexpr qsizetype kMaxListDepth = 64;

// An archived object of one of the value classes: its class name and its values by key.
class ValueRecord : public Archivable
{
public:
    ValueRecord(QString className, QList<std::pair<QString, ArchiveValue>> fields)
        : m_className(std::move(className)), m_fields(std::move(fields))
    {}

    const QString &className() const { return m_className; }
    ArchiveValue field(const QString &key) const
    {
        for (const auto &[name, value] : m_fields) {
            if (name == key)
                return value;
        }
        return {};
    }

    QStringList archiveClassNames() const override { return {m_className}; }
    void encodeWithCoder(KeyedArchiver &coder) const override
    {
        for (const auto &[name, value] : m_fields)
            coder.encodeObject(name, value);
    }

    static void registerClass(const QString &className, const QStringList &keys)
    {
        registerArchiveClass(className, [className, keys](KeyedUnarchiver &coder) {
            QList<std::pair<QString, ArchiveValue>> fields;
            for (const QString &key : keys)
                fields.append({key, coder.decodeObject(key)});
            return std::make_shared<ValueRecord>(className, std::move(fields));
        });
    }

private:
    QString m_className;
    QList<std::pair<QString, ArchiveValue>> m_fields;
};

// Registers the classes of a whole text's archive and answers them.
const ArchiveClasses &registerClasses()
{
    static const ArchiveClasses classes = [] {
        ArchiveClasses names = CodedAttributedString::registerArchiveClasses();
        ValueRecord::registerClass(kFontClass, {"name", "size"});
        ValueRecord::registerClass(kColorClass, {"space", "components"});
        ValueRecord::registerClass(kParagraphStyleClass,
                                   {"textLists", "headIndent", "tabStops", "alignment"});
        ValueRecord::registerClass(kAttachmentClass, {"fileName", "fileData"});
        return names.unite({kFontClass, kColorClass, kParagraphStyleClass, kAttachmentClass});
    }();
    return classes;
}

ArchiveValue record(const QString &className, QList<std::pair<QString, ArchiveValue>> fields)
{
    return ArchiveValue::object(std::make_shared<ValueRecord>(className, std::move(fields)));
}

const char *spaceName(TextColor::Space space)
{
    switch (space) {
    case TextColor::Space::Grey:
        return "grey";
    case TextColor::Space::Rgb:
        return "rgb";
    case TextColor::Space::Cmyk:
        return "cmyk";
    }
    return "rgb";
}

ArchiveValue colorValue(const TextColor &color)
{
    return record(kColorClass,
                  {{"space", ArchiveValue::string(QString::fromLatin1(spaceName(color.space())))},
                   {"components", realArray(color.components())}});
}

ArchiveAttributes archiveAttributes(const TextAttributes &attributes)
{
    ArchiveAttributes result;
    if (attributes.font)
        result.set(kFont, record(kFontClass,
                                 {{"name", ArchiveValue::string(attributes.font->postScriptName)},
                                  {"size", ArchiveValue::real(attributes.font->pointSize)}}));
    if (attributes.foregroundColor)
        result.set(kForeground, colorValue(*attributes.foregroundColor));
    if (attributes.backgroundColor)
        result.set(kBackground, colorValue(*attributes.backgroundColor));
    if (attributes.underlineStyle)
        result.set(kUnderline, ArchiveValue::integer(*attributes.underlineStyle));
    if (attributes.underlineColor)
        result.set(kUnderlineColor, colorValue(*attributes.underlineColor));
    if (attributes.link)
        result.set(kLink, ArchiveValue::string(*attributes.link));
    if (const auto &style = attributes.paragraphStyle) {
        ArchiveArray lists;
        for (const QString &list : style->textLists)
            lists.append(ArchiveValue::string(list));
        result.set(
            kParagraphStyle,
            record(kParagraphStyleClass,
                   {{"textLists", ArchiveValue::array(lists)},
                    {"headIndent", ArchiveValue::real(style->headIndent)},
                    {"tabStops", realArray(style->tabStops)},
                    {"alignment", ArchiveValue::integer(static_cast<int>(style->alignment))}}));
    }
    if (attributes.attachment)
        result.set(
            kAttachment,
            record(kAttachmentClass,
                   {{"fileName", ArchiveValue::string(attributes.attachment->preferredFileName)},
                    {"fileData", ArchiveValue::data(attributes.attachment->fileData)}}));
    return result;
}

// The record of class className under key, or null (logged when something else is there).
std::shared_ptr<ValueRecord> recordFor(const ArchiveAttributes &attributes, const QString &key,
                                       const QString &className)
{
    const ArchiveValue value = attributes.value(key);
    if (value.isNull())
        return nullptr;
    auto found = value.objectAs<ValueRecord>();
    if (!found || found->className() != className) {
        log(QStringLiteral("The archived text has an unreadable value for “%1”.").arg(key));
        return nullptr;
    }
    return found;
}

std::optional<TextColor> colorFrom(const ArchiveAttributes &attributes, const QString &key)
{
    const auto color = recordFor(attributes, key, kColorClass);
    if (!color)
        return std::nullopt;
    const QString space = color->field("space").toString();
    const std::optional<QList<double>> components = numbersFrom(color->field("components"));
    std::optional<TextColor> result;
    if (components) {
        if (space == u"grey")
            result = TextColor::fromComponents(TextColor::Space::Grey, *components);
        else if (space == u"rgb")
            result = TextColor::fromComponents(TextColor::Space::Rgb, *components);
        else if (space == u"cmyk")
            result = TextColor::fromComponents(TextColor::Space::Cmyk, *components);
    }
    if (!result)
        log(QStringLiteral("The archived text has an unreadable colour for “%1”.").arg(key));
    return result;
}

std::optional<TextParagraphStyle> paragraphStyleFrom(const ArchiveAttributes &attributes)
{
    const auto record = recordFor(attributes, kParagraphStyle, kParagraphStyleClass);
    if (!record)
        return std::nullopt;
    TextParagraphStyle style;
    for (const ArchiveValue &list : record->field("textLists").toArray()) {
        if (style.textLists.size() == kMaxListDepth) {
            log(QStringLiteral("The archived text has lists nested too deeply; the outer ones "
                               "are kept."));
            break;
        }
        style.textLists.append(list.toString());
    }
    style.headIndent = record->field("headIndent").toReal();
    style.tabStops = numbersFrom(record->field("tabStops")).value_or(QList<double>());
    const int64_t alignment = record->field("alignment").toInteger();
    if (alignment >= 0 && alignment <= static_cast<int>(TextParagraphStyle::Alignment::Justified))
        style.alignment = static_cast<TextParagraphStyle::Alignment>(alignment);
    return style;
}

TextAttributes textAttributes(const ArchiveAttributes &attributes)
{
    TextAttributes result;
    if (const auto font = recordFor(attributes, kFont, kFontClass))
        result.font = TextFont{font->field("name").toString(), font->field("size").toReal()};
    result.foregroundColor = colorFrom(attributes, kForeground);
    result.backgroundColor = colorFrom(attributes, kBackground);
    const ArchiveValue underline = attributes.value(kUnderline);
    if (underline.isNumber())
        result.underlineStyle = underline.toInteger();
    result.underlineColor = colorFrom(attributes, kUnderlineColor);
    const ArchiveValue link = attributes.value(kLink);
    if (link.kind() == ArchiveValue::Kind::String)
        result.link = link.toString();
    result.paragraphStyle = paragraphStyleFrom(attributes);
    if (const auto attachment = recordFor(attributes, kAttachment, kAttachmentClass))
        result.attachment = TextAttachment{
            attachment->field("fileData").toData(), attachment->field("fileName").toString(), {}};
    return result;
}

} // namespace

QByteArray archivedText(const AttributedString &text)
{
    // Equal attributes share one dictionary, so that the archive holds each once.
    std::vector<std::pair<const TextAttributes *, ArchiveAttributes>> known;
    ArchivedAttributedString archived;
    for (const AttributedString::Run &run : text.runs()) {
        auto found = std::find_if(known.begin(), known.end(), [&](const auto &entry) {
            return *entry.first == run.attributes;
        });
        if (found == known.end()) {
            known.emplace_back(&run.attributes, archiveAttributes(run.attributes));
            found = known.end() - 1;
        }
        archived.append(text.string().mid(run.range.location, run.range.length), found->second);
    }
    return KeyedArchiver::archivedData(attributedStringArchiveValue(std::move(archived)));
}

std::optional<AttributedString> unarchivedText(const QByteArray &data, Error *error)
{
    const auto coded =
        KeyedUnarchiver::unarchiveObject<CodedAttributedString>(data, registerClasses(), error);
    if (!coded)
        return std::nullopt;
    const ArchivedAttributedString &archived = coded->string();
    AttributedString text;
    for (const ArchivedAttributedString::Run &run : archived.runs())
        text.append(archived.string().mid(run.range.location, run.range.length),
                    textAttributes(run.attributes));
    return text;
}

} // namespace lq
