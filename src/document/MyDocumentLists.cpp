// Lists: starting and removing them over the selected lines, and the Quick List button and menu
// items that follow the list state at the selection.

#include "document/DocumentWindowController.h"
#include "document/MyDocument.h"
#include "document/WrenTextView.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UndoManager.h"
#include "platform/text/TextFormats.h"
#include "platform/text/TextLists.h"
#include "platform/ui/NamedImages.h"
#include "shared/MenuTitles.h"

#include <QAbstractButton>
#include <QAction>
#include <QIcon>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <set>

using lq::TextRange;
namespace text_lists = lq::text_lists;

namespace {

constexpr char kImageNameProperty[] = "imageName";

std::optional<lq::TextParagraphStyle> styleOf(const QTextBlock &block)
{
    return lq::text_formats::paragraphStyle(block.blockFormat());
}

bool isListItem(const QTextBlock &block)
{
    const std::optional<lq::TextParagraphStyle> style = styleOf(block);
    return style && !style->textLists.isEmpty();
}

// The end of a line: after its line end.
qsizetype lineEnd(const QTextBlock &block)
{
    return block.position() + block.length();
}

qsizetype overlap(TextRange a, TextRange b)
{
    return std::max<qsizetype>(0, std::min(a.end(), b.end()) - std::max(a.location, b.location));
}

QString markerText(const QString &format, int number)
{
    return QLatin1Char('\t') + text_lists::markerForItemNumber(format, number) + QLatin1Char('\t');
}

} // namespace

void MyDocument::toggleList(bool numbered)
{
    if ((playing && playbackMode == kLockedMode) || !m_textView)
        return;
    const TextRange selection = m_textView->selectedRange();
    resetListButton();
    if (selectionIsInList())
        removeList(selection);
    else
        newList(selection, numbered);
    resetListSatus();
}

void MyDocument::newList(TextRange range, bool numbered)
{
    lq::runOnMainThread([&] { newListHelper(range, numbered); });
}

void MyDocument::removeList(TextRange range)
{
    lq::runOnMainThread([&] { removeListHelper(range); });
}

void MyDocument::newListHelper(TextRange range, bool numbered)
{
    const QTextDocument *text = m_textStorage.document();
    qsizetype loc = std::clamp<qsizetype>(range.location, 0, m_textStorage.length());
    qsizetype len = std::clamp<qsizetype>(range.length, 0, m_textStorage.length() - loc);
    const lq::UndoGroup group(undoManager());
    if (loc + len == m_textStorage.length()) {
        // The last line gets a line end of its own, checked (stamped) once.
        const TextRange end{loc + len, 0};
        if (!shouldChangeTextInRange(m_textView, end, QStringLiteral("\n"))) {
            lq::log(QStringLiteral("Failed to begin to create new list\n"));
            return;
        }
        replaceCharacters(end, QStringLiteral("\n"));
    }
    const QString format = numbered ? text_lists::kNumberFormat : text_lists::kBulletFormat;
    int number = 1;
    QString marker = markerText(format, number);
    const qsizetype firstMarker = marker.size();
    const qsizetype firstLineStart = text->findBlock(int(loc)).position();
    qsizetype lineStart = firstLineStart;
    for (;;) {
        const QTextBlock line = text->findBlock(int(lineStart));
        const QString content = line.text();
        const qsizetype spaces = std::find_if(content.begin(), content.end(),
                                              [](QChar c) { return c != u' ' && c != u'\t'; }) -
                                 content.begin();
        const TextRange leading{lineStart, spaces};
        if (!shouldChangeTextInRange(m_textView, leading, marker)) {
            lq::log(QStringLiteral("Failed to create new list\n"));
            return;
        }
        replaceCharacters(leading, marker);
        // The range follows the text it covered: the leading spaces inside it gave way to the
        // marker.
        const qsizetype inside = overlap(leading, {loc, len});
        if (lineStart < loc)
            loc -= std::min(loc - lineStart, spaces);
        len = inside >= len ? marker.size() : len + marker.size() - inside;
        const qsizetype end = lineEnd(line);
        marker = markerText(format, ++number);
        if (end >= loc + len)
            break;
        lineStart = end;
    }
    lq::TextAttributes style;
    for (QTextBlock line = text->findBlock(int(firstLineStart));
         line.isValid() && line.position() < loc + len; line = line.next()) {
        style.paragraphStyle = text_lists::listItemStyle(styleOf(line), format);
        const qsizetype end = std::min(lineEnd(line), loc + len);
        addAttributes({line.position(), end - line.position()}, style);
    }
    if (m_textView)
        m_textView->setSelectedRange({loc + firstMarker, len - firstMarker});
}

void MyDocument::removeListHelper(TextRange range)
{
    const QTextDocument *text = m_textStorage.document();
    const qsizetype loc = std::clamp<qsizetype>(range.location, 0, m_textStorage.length());
    qsizetype len = std::clamp<qsizetype>(range.length, 0, m_textStorage.length() - loc);
    const lq::UndoGroup group(undoManager());
    // Only lines in a list lose their marker, style, tab stops and indent; any other line,
    // however it starts, stays as it is.
    std::set<int> listLines;
    lq::TextAttributes style;
    const QTextBlock first = text->findBlock(int(loc));
    for (QTextBlock line = first; line.isValid() && (line == first || line.position() < loc + len);
         line = line.next()) {
        if (!isListItem(line))
            continue;
        listLines.insert(line.blockNumber());
        style.paragraphStyle = text_lists::styleOutsideList(*styleOf(line));
        const qsizetype end =
            std::min(lineEnd(line), std::max<qsizetype>(loc + len, line.position() + 1));
        addAttributes({line.position(), std::min(end, m_textStorage.length()) - line.position()},
                      style);
    }
    for (QTextBlock line = first; line.isValid(); line = line.next()) {
        const qsizetype end = lineEnd(line);
        const QString content = line.text();
        const qsizetype secondTab = content.startsWith(u'\t') ? content.indexOf(u'\t', 1) : -1;
        if (listLines.count(line.blockNumber()) && secondTab > 0) {
            const TextRange marker{line.position(), secondTab + 1};
            if (!shouldChangeTextInRange(m_textView, marker, QStringLiteral(""))) {
                lq::log(QStringLiteral("Failed to remove list\n"));
                return;
            }
            replaceCharacters(marker, QStringLiteral(""));
            len = std::max<qsizetype>(0, len - marker.length);
            if (end - marker.length >= loc + len)
                break;
            continue;
        }
        if (end >= loc + len)
            break;
    }
}

bool MyDocument::breakParagraph(WrenTextView *view, TextRange range)
{
    if (view != m_textView || range.length != 0)
        return false;
    const QTextBlock line = m_textStorage.document()->findBlock(int(range.location));
    const std::optional<lq::TextParagraphStyle> style = styleOf(line);
    const QString content = line.text();
    const qsizetype markerEnd = content.startsWith(u'\t') ? content.indexOf(u'\t', 1) + 1 : 0;
    if (!style || style->textLists.isEmpty() || markerEnd <= 0 ||
        range.location < line.position() + markerEnd)
        return false;
    if (markerEnd == content.size()) {
        // A break on an empty item ends the list there.
        removeListHelper({line.position(), 0});
        view->setSelectedRange({line.position(), 0});
        return true;
    }
    const QString format = style->textLists.front();
    // A number marker is the item's number and a full stop.
    const int number = format == text_lists::kNumberFormat
                           ? QStringView(content).mid(1, markerEnd - 3).toInt()
                           : 0;
    const QString next = QLatin1Char('\n') + markerText(format, number + 1);
    const lq::UndoGroup group(undoManager());
    if (!shouldChangeTextInRange(view, range, next))
        return true;
    replaceCharacters(range, next);
    const qsizetype nextLine = range.location + 1;
    lq::TextAttributes item;
    item.paragraphStyle = style;
    const qsizetype nextEnd = std::min(lineEnd(m_textStorage.document()->findBlock(int(nextLine))),
                                       m_textStorage.length());
    addAttributes({nextLine, nextEnd - nextLine}, item);
    view->setSelectedRange({range.location + next.size(), 0});
    return true;
}

bool MyDocument::selectionIsInList() const
{
    if (!m_textView)
        return false;
    const TextRange selection = m_textView->selectedRange();
    if (selection.location == 0 && selection.length == 0)
        return false;
    const qsizetype length = m_textStorage.length();
    const QTextDocument *text = m_textStorage.document();
    QTextBlock line = text->findBlock(int(selection.location));
    for (qsizetype position = selection.location;;) {
        // At the end of the text, the line's last character tells.
        const qsizetype probe =
            position == length && line.position() < position ? position - 1 : position;
        if (probe < length && isListItem(text->findBlock(int(probe))))
            return true;
        line = line.next();
        if (!line.isValid() || line.position() >= selection.end())
            return false;
        position = line.position();
    }
}

void MyDocument::resetListSatus()
{
    if (!m_textView)
        return;
    const bool inList = selectionIsInList();
    resetListButton();
    if (!m_listButton)
        return;
    const QString toolTip = inList ? tr("Remove list - Ctrl+L")
                                   : tr("Start a list - Ctrl+L\n(Alt-click for a numbered list)");
    if (m_listButton->toolTip() == toolTip)
        return;
    showListState(inList);
    m_listButton->setToolTip(toolTip);
    if (QAction *item = menuItemWithTag(tr("Edit"), kQuickListTag))
        item->setText(inList ? tr("Remove List") : tr("Quick List"));
    if (QAction *item = menuItemWithTag(tr("Edit"), kQuickNumberedListTag))
        item->setText(inList ? tr("Remove List") : tr("Quick Numbered List"));
}

void MyDocument::showListState(bool inList)
{
    QString name = inList ? QStringLiteral("LUMAlist_no") : QStringLiteral("LUMAlist");
    if (!m_editable)
        name += QStringLiteral("-inactive");
    m_listButton->setProperty(kImageNameProperty, name);
    m_listButton->setIcon(QIcon(lq::namedImage(name, m_listButton->devicePixelRatioF())));
}

void MyDocument::resetListButton()
{
    if (m_startingUp || !m_windowController)
        return;
    QAbstractButton *button = m_windowController->outlets().listButton;
    if (button == m_listButton)
        return;
    if (!button) {
        lq::log(QStringLiteral("Failed to find list toolbar item"));
        m_listButton = nullptr;
        return;
    }
    lq::log(QStringLiteral("Resetting list button"));
    m_listButton = button;
}
