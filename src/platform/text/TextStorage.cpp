#include "platform/text/TextStorage.h"

#include "platform/text/TextFormats.h"

#include <QHash>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextImageFormat>
#include <QUrl>

#include <algorithm>
#include <unordered_map>

namespace lq {

namespace {

constexpr char16_t kParagraphSeparator = 0x2029;

// Converted attributes of the formats met in one walk, by character and paragraph format index;
// the attributes stay where they are while the cache lives.
class AttributeCache
{
public:
    // format() gives the character format, asked for only when the cache has not met it.
    template <class Format>
    const TextAttributes &attributes(int formatIndex, const Format &format, const QTextBlock &block)
    {
        const int blockIndex = block.blockFormatIndex();
        const auto key = (uint64_t(uint32_t(formatIndex)) << 32) | uint32_t(blockIndex);
        const auto [found, added] = m_attributes.try_emplace(key);
        if (added) {
            found->second = text_formats::characterAttributes(format());
            found->second.paragraphStyle = text_formats::paragraphStyle(block.blockFormat());
        }
        return found->second;
    }

private:
    std::unordered_map<uint64_t, TextAttributes> m_attributes;
};

} // namespace

TextStorage::TextStorage() : m_document(std::make_unique<QTextDocument>())
{
    m_document->setUndoRedoEnabled(false);
}

TextStorage::~TextStorage() = default;

qsizetype TextStorage::length() const
{
    return m_document->characterCount() - 1;
}

QString TextStorage::string() const
{
    QString text = m_document->toRawText();
    std::replace(text.begin(), text.end(), QChar(kParagraphSeparator), QChar(u'\n'));
    return text;
}

TextRange TextStorage::clamped(TextRange range) const
{
    const qsizetype total = length();
    const qsizetype location = std::clamp<qsizetype>(range.location, 0, total);
    return {location, std::clamp<qsizetype>(range.length, 0, total - location)};
}

void TextStorage::forEachPiece(
    TextRange range, const std::function<void(const Piece &, const QTextBlock &)> &visit) const
{
    range = clamped(range);
    if (range.length == 0)
        return;
    // Positions are counted along, since asking a block or fragment for its own walks the tree.
    QTextBlock block = m_document->findBlock(static_cast<int>(range.location));
    for (qsizetype blockStart = block.position(); block.isValid() && blockStart < range.end();
         blockStart += block.length(), block = block.next()) {
        qsizetype position = blockStart;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const qsizetype from = std::max(position, range.location);
            position += fragment.length();
            const qsizetype to = std::min(position, range.end());
            if (from < to)
                visit({{from, to - from}, fragment.charFormatIndex(), fragment, {}}, block);
        }
        // A paragraph end carries the character format of the paragraph after it.
        const qsizetype end = blockStart + block.length() - 1;
        const QTextBlock next = block.next();
        if (end >= range.location && end < range.end() && next.isValid())
            visit({{end, 1}, next.charFormatIndex(), {}, next}, block);
    }
}

TextAttributes TextStorage::attributesAt(qsizetype index, TextRange *effectiveRange) const
{
    TextAttributes attributes;
    forEachPiece({index, 1}, [&](const Piece &piece, const QTextBlock &block) {
        attributes = text_formats::characterAttributes(piece.format());
        attributes.paragraphStyle = text_formats::paragraphStyle(block.blockFormat());
        if (!effectiveRange)
            return;
        *effectiveRange = piece.range;
        for (auto it = block.begin(); !piece.isParagraphEnd() && !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.contains(static_cast<int>(index)))
                *effectiveRange = {fragment.position(), fragment.length()};
        }
    });
    return attributes;
}

void TextStorage::enumerateRuns(
    TextRange range, const std::function<void(TextRange, const TextAttributes &)> &visit) const
{
    AttributeCache cache;
    std::optional<TextRange> run;
    const TextAttributes *runAttributes = nullptr;
    forEachPiece(range, [&](const Piece &piece, const QTextBlock &block) {
        const TextAttributes &attributes = cache.attributes(
            piece.formatIndex, [&piece] { return piece.format(); }, block);
        // The formats of neighbours are mostly the same ones.
        if (run && (&attributes == runAttributes || attributes == *runAttributes)) {
            run->length += piece.range.length;
            return;
        }
        if (run)
            visit(*run, *runAttributes);
        run = piece.range;
        runAttributes = &attributes;
    });
    if (run)
        visit(*run, *runAttributes);
}

AttributedString TextStorage::attributedSubstring(TextRange range) const
{
    range = clamped(range);
    // Only the range's characters: a copy of the whole text would cost every edit of a long note.
    QTextCursor cursor(m_document.get());
    cursor.setPosition(static_cast<int>(range.location));
    cursor.setPosition(static_cast<int>(range.end()), QTextCursor::KeepAnchor);
    QString text = cursor.selectedText();
    std::replace(text.begin(), text.end(), QChar(kParagraphSeparator), QChar(u'\n'));
    AttributedString result;
    enumerateRuns(range, [&](TextRange run, const TextAttributes &attributes) {
        result.append(text.mid(run.location - range.location, run.length), attributes);
    });
    return result;
}

AttributedString TextStorage::attributedString() const
{
    return attributedSubstring({0, length()});
}

void TextStorage::setAttributedString(const AttributedString &text)
{
    m_document->clear();
    m_nextImageNumber = 1;
    replaceCharacters({0, 0}, text);
}

void TextStorage::replaceCharacters(TextRange range, const QString &string)
{
    range = clamped(range);
    TextAttributes attributes;
    if (length() > 0) {
        const qsizetype from =
            range.length > 0 ? range.location : std::max<qsizetype>(range.location - 1, 0);
        attributes = attributesAt(std::min(from, length() - 1));
    }
    attributes.paragraphStyle = text_formats::paragraphStyle(
        m_document->findBlock(static_cast<int>(range.location)).blockFormat());
    replaceCharacters(range, AttributedString(string, attributes));
}

void TextStorage::replaceCharacters(TextRange range, const AttributedString &text)
{
    range = clamped(range);
    // The paragraph that holds the first character after the range keeps its style; so does the
    // paragraph where the range starts, unless the range starts it.
    const QTextBlock startBlock = m_document->findBlock(static_cast<int>(range.location));
    const bool startsParagraph = startBlock.position() == range.location;
    const QTextBlockFormat followingFormat =
        m_document->findBlock(static_cast<int>(range.end())).blockFormat();

    QTextCursor cursor(m_document.get());
    cursor.beginEditBlock();
    cursor.setPosition(static_cast<int>(range.location));
    cursor.setPosition(static_cast<int>(range.end()), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    insert(cursor, text, followingFormat);
    if (startsParagraph) {
        QTextCursor start(m_document.get());
        start.setPosition(static_cast<int>(range.location));
        start.setBlockFormat(text.length() > 0
                                 ? text_formats::blockFormat(text.attributesAt(0).paragraphStyle)
                                 : followingFormat);
    }
    cursor.endEditBlock();
}

void TextStorage::insert(QTextCursor &cursor, const AttributedString &text,
                         const QTextBlockFormat &followingBlockFormat)
{
    const QString &string = text.string();
    for (const AttributedString::Run &run : text.runs()) {
        const QTextCharFormat format = formatFor(run.attributes);
        qsizetype from = run.range.location;
        while (from < run.range.end()) {
            qsizetype lineEnd = string.indexOf(u'\n', from);
            if (lineEnd < 0 || lineEnd >= run.range.end())
                lineEnd = run.range.end();
            if (lineEnd > from)
                cursor.insertText(string.mid(from, lineEnd - from), format);
            if (lineEnd == run.range.end())
                break;
            // A new paragraph takes the style of its first character.
            const qsizetype next = lineEnd + 1;
            cursor.insertBlock(next < string.size() ? text_formats::blockFormat(
                                                          text.attributesAt(next).paragraphStyle)
                                                    : followingBlockFormat,
                               format);
            from = next;
        }
    }
}

QTextCharFormat TextStorage::formatFor(const TextAttributes &attributes,
                                       const QTextCharFormat &previous)
{
    QTextCharFormat format = text_formats::charFormat(attributes);
    if (!attributes.attachment)
        return format;
    // The image shown for an attachment is a resource of the document.
    const QTextImageFormat previousImage = previous.toImageFormat();
    QString name = previousImage.name();
    if (name.isEmpty() || text_formats::characterAttributes(previous).attachment->fileData !=
                              attributes.attachment->fileData) {
        name = QStringLiteral("lq-attachment:%1").arg(m_nextImageNumber++);
        m_document->addResource(QTextDocument::ImageResource, QUrl(name),
                                QImage::fromData(attributes.attachment->fileData));
    }
    QTextImageFormat image = format.toImageFormat();
    image.setName(name);
    return image;
}

void TextStorage::modifyAttributes(TextRange range,
                                   const std::function<void(TextAttributes &)> &change)
{
    range = clamped(range);
    if (range.length == 0)
        return;
    struct Change
    {
        TextRange range;
        QTextCharFormat format;
    };
    std::vector<Change> changes;
    std::vector<std::pair<int, QTextBlockFormat>> blockChanges;
    int lastBlock = -1;
    forEachPiece(range, [&](const Piece &piece, const QTextBlock &block) {
        const QTextCharFormat format = piece.format();
        TextAttributes attributes = text_formats::characterAttributes(format);
        TextAttributes changed = attributes;
        change(changed);
        changed.paragraphStyle.reset();
        if (!(changed == attributes))
            changes.push_back({piece.range, formatFor(changed, format)});
        if (block.position() == lastBlock)
            return;
        lastBlock = block.position();
        TextAttributes style;
        style.paragraphStyle = text_formats::paragraphStyle(block.blockFormat());
        const std::optional<TextParagraphStyle> before = style.paragraphStyle;
        change(style);
        if (style.paragraphStyle != before)
            blockChanges.emplace_back(block.position(),
                                      text_formats::blockFormat(style.paragraphStyle));
    });
    QTextCursor cursor(m_document.get());
    cursor.beginEditBlock();
    for (const Change &piece : changes) {
        cursor.setPosition(static_cast<int>(piece.range.location));
        cursor.setPosition(static_cast<int>(piece.range.end()), QTextCursor::KeepAnchor);
        cursor.setCharFormat(piece.format);
    }
    for (const auto &[position, format] : blockChanges) {
        cursor.setPosition(position);
        cursor.setBlockFormat(format);
    }
    cursor.endEditBlock();
}

void TextStorage::addAttributes(TextRange range, const TextAttributes &attributes)
{
    modifyAttributes(range, [&](TextAttributes &run) { run.add(attributes); });
}

void TextStorage::removeAttributes(TextRange range, TextAttributes::Keys keys)
{
    modifyAttributes(range, [&](TextAttributes &run) { run.remove(keys); });
}

} // namespace lq
