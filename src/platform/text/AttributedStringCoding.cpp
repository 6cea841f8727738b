#include "platform/text/AttributedStringCoding.h"

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Log.h"

namespace lq {

namespace {

const QString kStringKey = QStringLiteral("NSString");
const QString kAttributesKey = QStringLiteral("NSAttributes");
const QString kAttributeInfoKey = QStringLiteral("NSAttributeInfo");

// A string object ("NS.string" in place), as the layout stores the characters.
class StringObject : public Archivable
{
public:
    explicit StringObject(QString string) : m_string(std::move(string)) {}
    QStringList archiveClassNames() const override
    {
        return {QStringLiteral("NSMutableString"), QStringLiteral("NSString")};
    }
    void encodeWithCoder(KeyedArchiver &coder) const override
    {
        coder.encodeString(QStringLiteral("NS.string"), m_string);
    }

private:
    QString m_string;
};

void appendVarint(QByteArray &bytes, quint64 value)
{
    while (value >= 0x80) {
        bytes.append(static_cast<char>((value & 0x7f) | 0x80));
        value >>= 7;
    }
    bytes.append(static_cast<char>(value));
}

// The next unsigned variable-length number; nullopt at the end or when it is too long.
std::optional<quint64> readVarint(const QByteArray &bytes, qsizetype &position)
{
    quint64 value = 0;
    for (int shift = 0; shift < 64 && position < bytes.size(); shift += 7) {
        const auto byte = static_cast<quint8>(bytes[position++]);
        value |= static_cast<quint64>(byte & 0x7f) << shift;
        if ((byte & 0x80) == 0)
            return value;
    }
    return std::nullopt;
}

ArchiveAttributes attributesFrom(const ArchiveValue &value)
{
    return {value.toDictionary()};
}

ArchivablePtr decodeAttributedString(KeyedUnarchiver &coder)
{
    const ArchiveValue string = coder.decodeObject(kStringKey);
    if (string.kind() != ArchiveValue::Kind::String)
        return nullptr;
    const QString text = string.toString();
    const ArchiveValue attributes = coder.decodeObject(kAttributesKey);
    const ArchiveValue info = coder.decodeObject(kAttributeInfoKey);
    if (coder.hasFailed())
        return nullptr;

    std::vector<ArchiveAttributes> dictionaries;
    if (attributes.kind() == ArchiveValue::Kind::Dictionary) {
        dictionaries.push_back(attributesFrom(attributes));
    } else {
        for (const ArchiveValue &entry : attributes.toArray())
            dictionaries.push_back(attributesFrom(entry));
    }

    ArchivedAttributedString result;
    if (info.kind() != ArchiveValue::Kind::Data) {
        result = ArchivedAttributedString(text, dictionaries.empty() ? ArchiveAttributes()
                                                                     : dictionaries.front());
        return std::make_shared<CodedAttributedString>(std::move(result));
    }
    const QByteArray bytes = info.toData();
    qsizetype position = 0;
    bool reported = false;
    while (result.length() < text.size()) {
        const std::optional<quint64> length = readVarint(bytes, position);
        const std::optional<quint64> index = length ? readVarint(bytes, position) : std::nullopt;
        if (!index)
            break;
        const qsizetype runLength = static_cast<qsizetype>(
            std::min<quint64>(*length, static_cast<quint64>(text.size() - result.length())));
        ArchiveAttributes runAttributes;
        if (*index < dictionaries.size())
            runAttributes = dictionaries[*index];
        else if (!std::exchange(reported, true))
            log(QStringLiteral("An archived text refers to attributes it does not have."));
        result.append(text.mid(result.length(), runLength), runAttributes);
    }
    result.append(text.mid(result.length()), {});
    return std::make_shared<CodedAttributedString>(std::move(result));
}

} // namespace

QStringList CodedAttributedString::archiveClassNames() const
{
    return {QStringLiteral("NSAttributedString")};
}

void CodedAttributedString::encodeWithCoder(KeyedArchiver &coder) const
{
    coder.encodeObject(kStringKey,
                       ArchiveValue::object(std::make_shared<StringObject>(m_string.string())));
    const auto &runs = m_string.runs();
    if (runs.empty())
        return;
    // Each distinct dictionary once, in the order of first use.
    ArchiveArray dictionaries;
    std::vector<const ArchiveAttributes *> distinct;
    QByteArray info;
    for (const auto &run : runs) {
        auto found =
            std::find_if(distinct.begin(), distinct.end(),
                         [&](const ArchiveAttributes *known) { return *known == run.attributes; });
        if (found == distinct.end()) {
            distinct.push_back(&run.attributes);
            dictionaries.append(ArchiveValue::dictionary(run.attributes.entries));
            found = distinct.end() - 1;
        }
        appendVarint(info, static_cast<quint64>(run.range.length));
        appendVarint(info, static_cast<quint64>(found - distinct.begin()));
    }
    if (runs.size() == 1) {
        coder.encodeObject(kAttributesKey, dictionaries.front());
        return;
    }
    coder.encodeObject(kAttributesKey, ArchiveValue::array(dictionaries));
    coder.encodeObject(kAttributeInfoKey, ArchiveValue::data(info));
}

const ArchiveClasses &CodedAttributedString::registerArchiveClasses()
{
    static const ArchiveClasses classes = [] {
        const ArchiveClasses names{QStringLiteral("NSAttributedString"),
                                   QStringLiteral("NSMutableAttributedString")};
        for (const QString &name : names)
            registerArchiveClass(name, decodeAttributedString);
        return names;
    }();
    return classes;
}

ArchiveValue attributedStringArchiveValue(ArchivedAttributedString string)
{
    return ArchiveValue::object(std::make_shared<CodedAttributedString>(std::move(string)));
}

std::optional<ArchivedAttributedString> attributedStringFromArchiveValue(const ArchiveValue &value)
{
    const auto coded = value.objectAs<CodedAttributedString>();
    if (!coded)
        return std::nullopt;
    return coded->string();
}

} // namespace lq
