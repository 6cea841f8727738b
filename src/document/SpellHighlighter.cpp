#include "document/SpellHighlighter.h"

#include "document/UndoableTextChanges.h"
#include "platform/foundation/MainThread.h"

#include <QLocale>
#include <QTextBoundaryFinder>

#include <enchant.h>

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

SpellHighlighter::SpellHighlighter(QTextDocument *document, const SpellChecker &checker)
    : QSyntaxHighlighter(document), m_checker(checker)
{
    connect(&checker, &SpellChecker::loaded, this, [this] {
        // Underlines are no change of the text.
        const lq::DeliberateTextChange change;
        rehighlight();
    });
}

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
