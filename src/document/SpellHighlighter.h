#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringView>
#include <QTextCharFormat>
#include <QTextLayout>

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

// Underlines misspelt words in the layout only (the formats of each paragraph's layout): the text
// and its formats stay as they are; all again once the checker's dictionary has loaded. A change
// within a paragraph checks again only the words about it, so that typing in a long paragraph
// costs the same as in a short one.
class SpellHighlighter : public QObject
{
    Q_OBJECT
public:
    SpellHighlighter(QTextDocument *document, const SpellChecker &checker);
    // Takes its underlines off.
    ~SpellHighlighter() override;

private:
    void highlightAll();
    void noteChange(int from, int removed, int added);
    // Within one paragraph: characters replaced at position (in the paragraph).
    void checkAround(const QTextBlock &block, int position, int removed, int added);
    // The misspelt words from start to end of the paragraph (word boundaries).
    QList<QTextLayout::FormatRange> underlines(const QTextBlock &block, int start, int end) const;
    // Gives the paragraph's layout the underlines, past the input method's preedit text, with its
    // formats; the caller marks the paragraph changed.
    void show(const QTextBlock &block, const QList<QTextLayout::FormatRange> &underlines);

    QTextDocument *m_document;
    const SpellChecker &m_checker;
    QTextCharFormat m_misspelt;
    int m_blockCount = 0;
};
