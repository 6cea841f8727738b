#include "document/MyDocument.h"
#include "document/NotesPrintOperation.h"
#include "document/WrenTextView.h"
#include "platform/foundation/MainThread.h"

using lq::TextRange;

void MyDocument::searchForPhrase(const QString &phrase)
{
    lq::runOnMainThread([this, &phrase] { searchOnMainThread(phrase); });
}

void MyDocument::searchOnMainThread(const QString &phrase)
{
    if (phrase.isEmpty() || !m_textView)
        return;
    const qsizetype found = m_textStorage.string().indexOf(phrase, 0, Qt::CaseInsensitive);
    if (found < 0)
        return;
    const TextRange range{found, phrase.size()};
    // The selection change jumps the recording there when nothing records or plays.
    m_textView->setSelectedRange(range);
    m_textView->scrollRangeToVisible(range);
    lq::postToMainThread(this, [this, range] { showFind(range); });
}

void MyDocument::showFind(TextRange range)
{
    lq::runOnMainThread([this, range] {
        if (m_textView)
            m_textView->showFindIndicator(range);
    });
}

std::unique_ptr<NotesPrintOperation> MyDocument::printOperation() const
{
    return std::make_unique<NotesPrintOperation>(*m_textStorage.document());
}
