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

} // namespace

// Converted attributes of the formats met in one walk, by character and paragraph format index;
// equal attributes have one number, so that runs compare by it.
class AttributeCache
{
public:
    // format() gives the character format, asked for only when the cache has not met it.
    template <class Format>
    size_t number(int formatIndex, const Format &format, const QTextBlock &block)
    {
        const int blockIndex = block.blockFormatIndex();
        const auto key = (uint64_t(uint32_t(formatIndex)) << 32) | uint32_t(blockIndex);
        const auto [found, added] = m_numbers.try_emplace(key);
        if (added) {
            TextAttributes attributes = text_formats::characterAttributes(format());
            attributes.paragraphStyle = text_formats::paragraphStyle(block.blockFormat());
            const auto same = std::find(m_distinct.begin(), m_distinct.end(), attributes);
            found->second = size_t(same - m_distinct.begin());
            if (same == m_distinct.end())
                m_distinct.push_back(std::move(attributes));
        }
        return found->second;
    }
    const TextAttributes &attributes(size_t number) const { return m_distinct[number]; }
    std::vector<TextAttributes> takeAttributes() { return std::move(m_distinct); }

private:
    std::unordered_map<uint64_t, size_t> m_numbers;
    std::vector<TextAttributes> m_distinct;
};

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

template <class Visit>
void TextStorage::enumerateRunNumbers(TextRange range, AttributeCache &cache,
                                      const Visit &visit) const
{
    std::optional<TextRange> run;
    size_t runNumber = 0;
    forEachPiece(range, [&](const Piece &piece, const QTextBlock &block) {
        const size_t number = cache.number(
            piece.formatIndex, [&piece] { return piece.format(); }, block);
        if (run && number == runNumber) {
            run->length += piece.range.length;
            return;
        }
        if (run)
            visit(*run, runNumber);
        run = piece.range;
        runNumber = number;
    });
    if (run)
        visit(*run, runNumber);
}

void TextStorage::enumerateRuns(
    TextRange range, const std::function<void(TextRange, const TextAttributes &)> &visit) const
{
    AttributeCache cache;
    enumerateRunNumbers(
        range, cache, [&](TextRange run, size_t number) { visit(run, cache.attributes(number)); });
}

TextCopy TextStorage::copyOf(TextRange range) const
{
    range = clamped(range);
    TextCopy copy;
    if (range.length * 2 >= length()) {
        // The raw text is one copy; a selection is gathered fragment by fragment.
        copy.m_string = m_document->toRawText().mid(range.location, range.length);
    } else {
        // Only the range's characters: a copy of the whole text would cost every edit of a
        // long note.
        QTextCursor cursor(m_document.get());
        cursor.setPosition(static_cast<int>(range.location));
        cursor.setPosition(static_cast<int>(range.end()), QTextCursor::KeepAnchor);
        copy.m_string = cursor.selectedText();
    }
    AttributeCache cache;
    enumerateRunNumbers(range, cache, [&](TextRange run, size_t number) {
        copy.m_runs.push_back({run.length, number});
    });
    copy.m_attributes = cache.takeAttributes();
    return copy;
}

AttributedString TextStorage::attributedSubstring(TextRange range) const
{
    return copyOf(range).attributedString();
}

AttributedString TextCopy::attributedString() const
{
    QString text = m_string;
    std::replace(text.begin(), text.end(), QChar(kParagraphSeparator), QChar(u'\n'));
    std::vector<AttributedString::Run> runs;
    runs.reserve(m_runs.size());
    qsizetype location = 0;
    for (const auto &[length, number] : m_runs) {
        runs.push_back({{location, length}, m_attributes[number]});
        location += length;
    }
    return AttributedString(std::move(text), std::move(runs));
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
