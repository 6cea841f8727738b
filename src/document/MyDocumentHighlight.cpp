#include "document/MyDocument.h"
#include "document/PlaybackUnderline.h"
#include "document/WrenTextView.h"
#include "model/WrenRecording.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"

#include <QTextDocument>

#include <algorithm>

using lq::TextRange;

namespace {

playback_underline::CharacterAt charactersOf(const QTextDocument *text)
{
    return [text](qsizetype position) { return text->characterAt(int(position)); };
}

bool userDefault(const char *key)
{
    return lq::UserDefaults::standard().boolForKey(QLatin1String(key));
}

} // namespace

void MyDocument::highlightChar(uint32_t index)
{
    highlightChar(int64_t(index), false);
}

void MyDocument::highlightChar(int64_t index, bool skipHighlight)
{
    // No lock is held while waiting: the main thread may need any of them meanwhile.
    lq::runOnMainThread(
        [this, index, skipHighlight] { highlightOnMainThread(index, skipHighlight); });
}

void MyDocument::highlightOnMainThread(int64_t index, bool skipHighlight)
{
    if (!m_textView)
        return;
    // While playing, the character just reached; on a jump or at the start, its whole word.
    const bool wholeWord = !playing || m_jumpingAround;
    const std::optional<TextRange> range = playback_underline::rangeToUnderline(
        charactersOf(m_textStorage.document()), m_textStorage.length(), index, wholeWord);
    if (!range)
        return;
    resetHighlightOnMainThread(range->location);
    const TextRange last{range->end() - 1, 1};
    if (userDefault("autoScrollDuringPlayback"))
        m_textView->scrollRangeToVisible(last);
    const bool flash = !skipHighlight && !userDefault("skipHighlightingCharacters");
    for (qsizetype k = range->location; k < range->end(); ++k) {
        if (std::find(m_highlightedChars.begin(), m_highlightedChars.end(), k) ==
            m_highlightedChars.end())
            m_highlightedChars.push_back(k);
        if (flash)
            m_textView->showFindIndicator({k, 1});
    }
    m_textView->setPlaybackUnderline(m_highlightedChars);
}

void MyDocument::resetHighlightForCharacter(std::optional<qsizetype> index)
{
    lq::runOnMainThread([this, index] { resetHighlightOnMainThread(index); });
}

void MyDocument::resetHighlightOnMainThread(std::optional<qsizetype> index)
{
    if (m_highlightedChars.empty())
        return;
    if (index && wordForChar(m_highlightedChars.back()).contains(*index))
        return;
    m_highlightedChars.clear();
    if (m_textView)
        m_textView->setPlaybackUnderline(m_highlightedChars);
}

TextRange MyDocument::wordForChar(qsizetype position) const
{
    return playback_underline::wordForChar(charactersOf(m_textStorage.document()),
                                           m_textStorage.length(), position);
}

void MyDocument::playbackStopped()
{
    setEditable(true);
    setShareable(true);
    playing = false;
    hideEditLockView();
    // Played to the end: the recording goes back to its start, and no mark stays behind.
    if (m_recordingObject->currentSession() < 0) {
        resetHighlightOnMainThread(std::nullopt);
        if (m_textView)
            m_textView->hideFindIndicator();
    }
}
