#pragma once

#include "document/MyDocument.h"
#include "document/WrenTextView.h"
#include "model/WrenEvents.h"
#include "model/WrenRecording.h"
#include "model/WrenTimerSession.h"
#include "platform/foundation/ClockSource.h"
#include "platform/foundation/UndoManager.h"
#include "platform/text/TextStorage.h"
#include "support/FakeDocumentWindow.h"
#include "support/FakeEngineFactory.h"
#include "support/TestUserDefaults.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

namespace lq::test {

using lq::TextRange;

// A note in a shown text view, with one finished minute-long session current (idle), and a
// text whose character i is stamped in that session at i + 1 seconds.
class EditingTest : public testing::Test
{
public:
    EditingTest()
    {
        m_previousClock = ClockSource::setCurrent(&clock);
        clock.setWallNow(Date::fromQDateTime(QDateTime(QDate(2024, 3, 1), QTime(9, 0), Qt::UTC)));
    }
    ~EditingTest() override
    {
        document.reset();
        ClockSource::setCurrent(m_previousClock);
    }

    void open(const QString &text)
    {
        document = std::make_unique<MyDocument>();
        document->tempRecordingDir = folder.path();
        recording().setTempDir(folder.path());
        auto window =
            std::make_unique<FakeDocumentWindow>(document->textStorage(), QSize(420, 240));
        view = window->outlets().textView;
        view->setWatchdogEnabled(true);
        // Caret moves count as the user's only once the window is set up.
        document->addWindowController(std::move(window));
        view->replaceCharacters(TextRange{0, 0}, text);
        UndoManager *undo = document->undoManager();
        undo->disableUndoRegistration();
        for (qsizetype i = 0; i < text.size(); ++i)
            recording().events().insertEvent(
                WrenTimeStamp::initWithKey(uint32_t(i), 0, double(i + 1)), false);
        undo->enableUndoRegistration();
        auto session = std::make_shared<WrenTimerSession>();
        session->startSession();
        clock.advance(60.0);
        session->stopSession();
        recording().addSession(session);
        recording().setCurrentSession(0);
        // The recording stands at the last character, so a jump anywhere else shows.
        if (!text.isEmpty())
            recording().jumpToCharacter(uint32_t(text.size() - 1));
        QCoreApplication::processEvents();
        view->setSelectedRange({text.size(), 0});
        jumpedTo();
    }

    WrenRecording &recording() const { return document->recordingObject(); }
    QString text() const { return document->textStorage().string(); }

    // Where the recording jumped since the last look; nullopt when it did not.
    std::optional<uint32_t> jumpedTo()
    {
        const uint32_t now = recording().currentChar();
        const std::optional<uint32_t> jumped =
            now != m_lastChar ? std::optional<uint32_t>(now) : std::nullopt;
        m_lastChar = now;
        return jumped;
    }

    // Each character (code point) one key press, one undo step.
    void type(const QString &characters)
    {
        for (char32_t c : characters.toUcs4()) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromUcs4(&c, 1));
            QCoreApplication::sendEvent(view, &press);
            QCoreApplication::processEvents();
        }
    }
    void press(Qt::Key key)
    {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &event);
        QCoreApplication::processEvents();
    }

    // Per character, the moment of its stamp (session -1 for an empty one).
    std::vector<std::pair<int32_t, double>> moments() const
    {
        std::vector<std::pair<int32_t, double>> result;
        for (const WrenTimeStampPtr &stamp : recording().events().keyEvents())
            result.emplace_back(stamp->session(), stamp->offset());
        return result;
    }

    // One entry per character, each at its position, each stamp also in the time list.
    void expectStampsMatchText(const char *step) const
    {
        const WrenEvents &events = recording().events();
        ASSERT_EQ(events.keyEvents().size(), size_t(text().size())) << step;
        std::set<const WrenTimeStamp *> chronological;
        for (const WrenTimeStampPtr &stamp : events.getEvents())
            chronological.insert(stamp.get());
        for (size_t i = 0; i < events.keyEvents().size(); ++i) {
            const WrenTimeStampPtr &stamp = events.keyEvents()[i];
            EXPECT_EQ(stamp->index(), i) << step;
            if (!stamp->isEmpty()) {
                EXPECT_EQ(chronological.count(stamp.get()), 1u) << step << ", character " << i;
            }
        }
    }

    // The positions the view shows underlined.
    std::vector<qsizetype> underlinedInView() const
    {
        std::vector<qsizetype> positions;
        for (const QTextEdit::ExtraSelection &mark : view->extraSelections()) {
            if (mark.format.underlineStyle() == QTextCharFormat::SingleUnderline &&
                mark.format.underlineColor() == QColor(Qt::blue))
                positions.push_back(mark.cursor.selectionStart());
        }
        return positions;
    }

    ManualClockSource clock;
    FakeEngineFactory engines;
    TestUserDefaults defaults;
    QTemporaryDir folder;
    std::unique_ptr<MyDocument> document;
    WrenTextView *view = nullptr; // owned by the note's window

private:
    const ClockSource *m_previousClock = nullptr;
    uint32_t m_lastChar = 0;
};

} // namespace lq::test
