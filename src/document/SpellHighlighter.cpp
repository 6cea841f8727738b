#include "document/SpellHighlighter.h"

#include "document/UndoableTextChanges.h"
#include "platform/foundation/MainThread.h"
#include "platform/text/DocumentCharacters.h"

#include <QLocale>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextDocument>
#include <QTimer>

#include <enchant.h>

#include <algorithm>
#include <utility>

struct SpellChecker::Enchant
{
    explicit Enchant(const QString &language);
    ~Enchant();
    Enchant(const Enchant &) = delete;
    Enchant &operator=(const Enchant &) = delete;

    EnchantBroker *broker = nullptr;
    EnchantDict *dictionary = nullptr;
};

SpellChecker::Enchant::Enchant(const QString &language)
{
    broker = enchant_broker_init();
    if (!broker)
        return;
    for (const QString &tag : {language, QStringLiteral("en_US")}) {
        const QByteArray name = tag.toUtf8();
        if (!tag.isEmpty() && enchant_broker_dict_exists(broker, name.constData())) {
            dictionary = enchant_broker_request_dict(broker, name.constData());
            if (dictionary)
                return;
        }
    }
}

SpellChecker::Enchant::~Enchant()
{
    if (dictionary)
        enchant_broker_free_dict(broker, dictionary);
    if (broker)
        enchant_broker_free(broker);
}

SpellChecker &SpellChecker::shared()
{
    static SpellChecker checker(QLocale::system().name());
    return checker;
}

SpellChecker::SpellChecker(const QString &language)
{
    // The loaded dictionary is used on the main thread only, from the moment it is handed over.
    m_loading = std::thread([this, language] {
        auto enchant = std::make_shared<Enchant>(language);
        lq::postToMainThread(this, [this, enchant] {
            m_loading.join();
            m_enchant = enchant;
            Q_EMIT loaded();
        });
    });
}

SpellChecker::~SpellChecker()
{
    if (m_loading.joinable())
        m_loading.join();
}

bool SpellChecker::hasDictionary() const
{
    return m_enchant && m_enchant->dictionary;
}

bool SpellChecker::isMisspelt(QStringView word) const
{
    if (!hasDictionary())
        return false;
    const QString key = word.toString();
    if (const auto known = m_answers.constFind(key); known != m_answers.constEnd())
        return *known;
    const QByteArray utf8 = key.toUtf8();
    const bool misspelt =
        enchant_dict_check(m_enchant->dictionary, utf8.constData(), utf8.size()) > 0;
    m_answers.insert(key, misspelt);
    return misspelt;
}

namespace {

// The characters about a change whose words are looked at first.
constexpr int kAround = 64;

// The paragraph's characters from start to end.
QString textOf(const QTextBlock &block, int start, int end)
{
    if (start == 0 && end >= block.length() - 1)
        return block.text();
    return lq::documentCharacters(*block.document(), block.position() + start,
                                  block.position() + end);
}

bool isUnderline(const QTextLayout::FormatRange &range)
{
    return range.format.underlineStyle() == QTextCharFormat::SpellCheckUnderline;
}

} // namespace

SpellHighlighter::SpellHighlighter(QTextDocument *document, const SpellChecker &checker)
    : QObject(document)
    , m_document(document)
    , m_checker(checker)
    , m_blockCount(document->blockCount())
{
    m_misspelt.setUnderlineStyle(QTextCharFormat::SpellCheckUnderline);
    m_misspelt.setUnderlineColor(Qt::red);
    connect(document, &QTextDocument::contentsChange, this, &SpellHighlighter::noteChange);
    connect(&checker, &SpellChecker::loaded, this, &SpellHighlighter::highlightAll);
    if (checker.hasDictionary())
        QTimer::singleShot(0, this, &SpellHighlighter::highlightAll);
}

SpellHighlighter::~SpellHighlighter()
{
    const lq::DeliberateTextChange change;
    for (QTextBlock block = m_document->begin(); block.isValid(); block = block.next())
        show(block, {});
    m_document->markContentsDirty(0, m_document->characterCount());
}

void SpellHighlighter::highlightAll()
{
    // Underlines are no change of the text.
    const lq::DeliberateTextChange change;
    m_blockCount = m_document->blockCount();
    for (QTextBlock block = m_document->begin(); block.isValid(); block = block.next())
        show(block, underlines(block, 0, block.length() - 1));
    m_document->markContentsDirty(0, m_document->characterCount());
}

void SpellHighlighter::noteChange(int from, int removed, int added)
{
    const int blocks = m_document->blockCount();
    const bool sameBlocks = std::exchange(m_blockCount, blocks) == blocks;
    QTextBlock block = m_document->findBlock(from);
    if (!block.isValid())
        return;
    const int start = block.position();
    if (sameBlocks && block.contains(from + added) && block.layout()->preeditAreaText().isEmpty()) {
        checkAround(block, from - start, removed, added);
    } else {
        for (; block.isValid() && block.position() <= from + added; block = block.next())
            show(block, underlines(block, 0, block.length() - 1));
    }
    const QTextBlock last = m_document->findBlock(from + added);
    m_document->markContentsDirty(start, last.position() + last.length() - start);
}

void SpellHighlighter::checkAround(const QTextBlock &block, int position, int removed, int added)
{
    const int delta = added - removed;
    const int length = block.length() - 1;
    // From a word boundary before the change to one after it, far enough that the words on
    // either side (which a change may join or split) are checked again.
    int start = 0;
    int end = length;
    for (int around = kAround; around < 2 * length + 2 * kAround; around *= 2) {
        const int windowStart = std::max(0, position - around);
        const int windowEnd = std::min(length, position + added + around);
        const QString text = textOf(block, windowStart, windowEnd);
        QTextBoundaryFinder words(QTextBoundaryFinder::Word, text);
        words.setPosition(std::max(0, position - windowStart - 1));
        const qsizetype before =
            words.isAtBoundary() ? words.position() : words.toPreviousBoundary();
        words.setPosition(std::min<qsizetype>(text.size(), position + added - windowStart + 1));
        const qsizetype after = words.isAtBoundary() ? words.position() : words.toNextBoundary();
        const bool startFound = (before > 0 || windowStart == 0) && before >= 0;
        const bool endFound = (after < text.size() || windowEnd == length) && after >= 0;
        if (startFound && endFound) {
            start = windowStart + int(before);
            end = windowStart + int(after);
            break;
        }
    }
    const QList<QTextLayout::FormatRange> old = block.layout()->formats();
    QList<QTextLayout::FormatRange> kept;
    QList<QTextLayout::FormatRange> later;
    for (const QTextLayout::FormatRange &range : old) {
        if (!isUnderline(range))
            continue;
        if (range.start + range.length <= start) {
            kept.append(range);
        } else if (range.start >= end - delta) {
            later.append({range.start + delta, range.length, range.format});
        } else {
            // A word about the change that went past the boundaries found: checked again too.
            start = std::min(start, range.start);
            end = std::max(end, std::min(length, range.start + range.length + delta));
        }
    }
    while (!kept.isEmpty() && kept.back().start + kept.back().length > start)
        kept.removeLast();
    kept.append(underlines(block, start, end));
    for (const QTextLayout::FormatRange &range : later) {
        if (range.start >= end)
            kept.append(range);
    }
    show(block, kept);
}

QList<QTextLayout::FormatRange> SpellHighlighter::underlines(const QTextBlock &block, int start,
                                                             int end) const
{
    QList<QTextLayout::FormatRange> found;
    if (!m_checker.hasDictionary() || end <= start)
        return found;
    const QString text = textOf(block, start, end);
    QTextBoundaryFinder words(QTextBoundaryFinder::Word, text);
    qsizetype from = 0;
    while (words.toNextBoundary() >= 0) {
        const qsizetype to = words.position();
        if (words.boundaryReasons() & QTextBoundaryFinder::EndOfItem) {
            const QStringView word = QStringView(text).mid(from, to - from);
            const bool hasLetter =
                std::any_of(word.begin(), word.end(), [](QChar c) { return c.isLetter(); });
            if (hasLetter && m_checker.isMisspelt(word))
                found.append({start + int(from), int(to - from), m_misspelt});
        }
        from = to;
    }
    return found;
}

void SpellHighlighter::show(const QTextBlock &block,
                            const QList<QTextLayout::FormatRange> &underlines)
{
    // The input method's own formats over its preedit text stay; words after it move past it.
    QTextLayout *layout = block.layout();
    const int preeditAt = layout->preeditAreaPosition();
    const int preeditLength = int(layout->preeditAreaText().size());
    QList<QTextLayout::FormatRange> formats;
    if (preeditLength > 0) {
        for (const QTextLayout::FormatRange &range : layout->formats()) {
            if (range.start >= preeditAt && range.start + range.length <= preeditAt + preeditLength)
                formats.append(range);
        }
    }
    for (QTextLayout::FormatRange range : underlines) {
        if (preeditLength > 0 && range.start >= preeditAt)
            range.start += preeditLength;
        else if (preeditLength > 0 && range.start + range.length > preeditAt)
            range.length += preeditLength;
        formats.append(range);
    }
    if (!formats.isEmpty() || !layout->formats().isEmpty())
        layout->setFormats(formats);
}
