#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringView>
#include <QSyntaxHighlighter>

#include <memory>
#include <thread>

// The words a dictionary knows, through Enchant. Without a dictionary for the language every
// word passes. The dictionary loads on a thread of its own, as it takes a while: until it is
// there every word passes too. Main thread.
class SpellChecker : public QObject
{
    Q_OBJECT
public:
    // The dictionary of the system's language, or of American English.
    static SpellChecker &shared();

    explicit SpellChecker(const QString &language);
    ~SpellChecker() override;

    bool isLoading() const { return m_loading.joinable(); }
    bool hasDictionary() const;
    bool isMisspelt(QStringView word) const;

Q_SIGNALS:
    // The load has ended, with a dictionary or without one.
    void loaded();

private:
    struct Enchant;
    std::shared_ptr<Enchant> m_enchant;
    std::thread m_loading;
    // Answers already given: notes repeat their words, and asking the dictionary is slow.
    mutable QHash<QString, bool> m_answers;
};

// Underlines misspelt words in the layout only: the text and its formats stay as they are; all
// again once the checker's dictionary has loaded.
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
