#include "document/SpellHighlighter.h"

#include <QLocale>
#include <QTextBoundaryFinder>

#include <enchant.h>

struct SpellChecker::Enchant
{
    EnchantBroker *broker = nullptr;
    EnchantDict *dictionary = nullptr;
};

SpellChecker &SpellChecker::shared()
{
    static SpellChecker checker(QLocale::system().name());
    return checker;
}

SpellChecker::SpellChecker(const QString &language) : m_enchant(std::make_unique<Enchant>())
{
    m_enchant->broker = enchant_broker_init();
    if (!m_enchant->broker)
        return;
    for (const QString &tag : {language, QStringLiteral("en_US")}) {
        const QByteArray name = tag.toUtf8();
        if (!tag.isEmpty() && enchant_broker_dict_exists(m_enchant->broker, name.constData())) {
            m_enchant->dictionary =
                enchant_broker_request_dict(m_enchant->broker, name.constData());
            if (m_enchant->dictionary)
                return;
        }
    }
}

SpellChecker::~SpellChecker()
{
    if (m_enchant->dictionary)
        enchant_broker_free_dict(m_enchant->broker, m_enchant->dictionary);
    if (m_enchant->broker)
        enchant_broker_free(m_enchant->broker);
}

bool SpellChecker::hasDictionary() const
{
    return m_enchant->dictionary != nullptr;
}

bool SpellChecker::isMisspelt(QStringView word) const
{
    if (!m_enchant->dictionary)
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

SpellHighlighter::SpellHighlighter(QTextDocument *document, const SpellChecker &checker)
    : QSyntaxHighlighter(document), m_checker(checker)
{}

void SpellHighlighter::highlightBlock(const QString &text)
{
    if (!m_checker.hasDictionary())
        return;
    QTextCharFormat misspelt;
    misspelt.setUnderlineStyle(QTextCharFormat::SpellCheckUnderline);
    misspelt.setUnderlineColor(Qt::red);
    QTextBoundaryFinder words(QTextBoundaryFinder::Word, text);
    qsizetype start = 0;
    while (words.toNextBoundary() >= 0) {
        const qsizetype end = words.position();
        if (words.boundaryReasons() & QTextBoundaryFinder::EndOfItem) {
            const QStringView word = QStringView(text).mid(start, end - start);
            const bool hasLetter =
                std::any_of(word.begin(), word.end(), [](QChar c) { return c.isLetter(); });
            if (hasLetter && m_checker.isMisspelt(word))
                setFormat(int(start), int(end - start), misspelt);
        }
        start = end;
    }
}
