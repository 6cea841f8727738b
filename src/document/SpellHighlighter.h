#pragma once

#include <QHash>
#include <QString>
#include <QStringView>
#include <QSyntaxHighlighter>

#include <memory>

// The words a dictionary knows, through Enchant. Without a dictionary for the language every
// word passes. Main thread.
class SpellChecker
{
public:
    // The dictionary of the system's language, or of American English.
    static SpellChecker &shared();

    SpellChecker(const QString &language);
    ~SpellChecker();
    SpellChecker(const SpellChecker &) = delete;
    SpellChecker &operator=(const SpellChecker &) = delete;

    bool hasDictionary() const;
    bool isMisspelt(QStringView word) const;

private:
    struct Enchant;
    std::unique_ptr<Enchant> m_enchant;
    // Answers already given: notes repeat their words, and asking the dictionary is slow.
    mutable QHash<QString, bool> m_answers;
};

// Underlines misspelt words in the layout only: the text and its formats stay as they are.
class SpellHighlighter : public QSyntaxHighlighter
{
    Q_OBJECT
public:
    SpellHighlighter(QTextDocument *document, const SpellChecker &checker);

protected:
    void highlightBlock(const QString &text) override;

private:
    const SpellChecker &m_checker;
};
