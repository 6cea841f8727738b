#include "PackageTestSupport.h"
#include "document/DefaultWindowState.h"
#include "document/InformationBar.h"
#include "document/MyDocument.h"
#include "document/PackageMeta.h"
#include "document/ScaledImageHandler.h"
#include "document/WrenTextView.h"
#include "model/WrenEvents.h"
#include "model/WrenRecording.h"
#include "model/WrenTimerSession.h"
#include "platform/foundation/ClockSource.h"
#include "platform/foundation/UndoManager.h"
#include "platform/text/TextFont.h"
#include "platform/ui/FilePanel.h"
#include "platform/ui/WindowFrameString.h"
#include "preferences/ArchivedValues.h"
#include "preferences/PrefsController.h"
#include "shared/AppFolders.h"
#include "support/FakeDocumentWindow.h"
#include "support/ManualTimerService.h"
#include "support/TestUserDefaults.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QSet>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace lq::test {
namespace {

using namespace Qt::StringLiterals;

// 2026-12-09 12:00:00 UTC.
const Date kNow = Date::fromSecondsSince1970(1796817600.0);

QRect primary()
{
    return QGuiApplication::primaryScreen()->geometry();
}

// The number a note made at seconds (since 1970) starts its folder search from.
int firstFolderNumber(double seconds)
{
    std::srand(static_cast<unsigned>(seconds));
    return std::rand() % 1'000'000;
}

QString cacheFolder(int number)
{
    return appCachePath().value() + u"/lumaquill-%1"_s.arg(number);
}

// Sets an environment variable while it lives.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char *name, const QByteArray &value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {
        qputenv(name, value);
        tzset();
    }
    ~ScopedEnvironment()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
        tzset();
    }

private:
    const char *m_name;
    bool m_had;
    QByteArray m_old;
};

class MyDocumentWindowSetupTest : public PackageTest
{
protected:
    MyDocumentWindowSetupTest() { m_previousClock = ClockSource::setCurrent(&clock); }
    ~MyDocumentWindowSetupTest() override { ClockSource::setCurrent(m_previousClock); }

    void SetUp() override { clock.setWallNow(kNow); }

    // A note (temporary folder of its own) with a fake window set up.
    FakeDocumentWindow *setUpWindow(MyDocument &document, QSize size = QSize(700, 500))
    {
        auto window = std::make_unique<FakeDocumentWindow>(document.textStorage(), size);
        FakeDocumentWindow *fake = window.get();
        document.addWindowController(std::move(window));
        return fake;
    }

    TestUserDefaults defaults;
    ManualClockSource clock;
    ManualTimerService timers;

private:
    const ClockSource *m_previousClock = nullptr;
};

TEST_F(MyDocumentWindowSetupTest, ANewNoteTakesTheFirstFreeFolderNumber)
{
    const struct
    {
        double seconds;
        QList<int> taken; // offsets from the seeded number, made before
        bool takenAsFile;
        int expected; // offset of the new note's folder
    } cases[] = {
        {1796817600, {}, false, 0}, {1796817601, {0}, false, 1}, {1796817602, {0, 1, 2}, false, 3},
        {1796817603, {0}, true, 1}, {1796817604, {1}, false, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.seconds);
        clock.setWallNow(Date::fromSecondsSince1970(c.seconds));
        const int first = firstFolderNumber(c.seconds);
        QDir().mkpath(appCachePath().value());
        for (const int offset : c.taken) {
            if (c.takenAsFile)
                writeBytes(cacheFolder(first + offset), "x");
            else
                ASSERT_TRUE(QDir().mkdir(cacheFolder(first + offset)));
        }
        const std::unique_ptr<MyDocument> document = MyDocument::create();
        ASSERT_TRUE(document);
        EXPECT_EQ(document->tempRecordingDir, cacheFolder(first + c.expected));
        EXPECT_TRUE(QFileInfo(document->tempRecordingDir).isDir());
        EXPECT_EQ(document->recordingObject().tempDir(), document->tempRecordingDir);
        EXPECT_TRUE(document->startingUp());
        EXPECT_EQ(document->mediaWidth, -1.0);
    }
    // Two notes made within one second: the second finds the first's folder.
    const double second = 1796817700;
    clock.setWallNow(Date::fromSecondsSince1970(second));
    const std::unique_ptr<MyDocument> one = MyDocument::create();
    const std::unique_ptr<MyDocument> two = MyDocument::create();
    const int first = firstFolderNumber(second);
    EXPECT_EQ(one->tempRecordingDir, cacheFolder(first));
    EXPECT_EQ(two->tempRecordingDir, cacheFolder(first + 1));
    EXPECT_EQ(alerts.count(), 0);
}

TEST_F(MyDocumentWindowSetupTest, WithoutATemporaryFolderThereIsNoNoteAndNoRevert)
{
    const QString package = at(u"note.lumaquill"_s);
    {
        const std::unique_ptr<MyDocument> document = MyDocument::create();
        document->textStorage().setAttributedString(AttributedString(u"kept"_s));
        ASSERT_TRUE(document->saveToUrl(package, SaveOperation::SaveAs, nullptr));
    }
    const std::unique_ptr<MyDocument> opened = MyDocument::create();
    ASSERT_TRUE(opened->openUrl(package, nullptr));
    opened->textStorage().setAttributedString(AttributedString(u"edited"_s));

    // A cache folder below a plain file cannot be made.
    writeBytes(at(u"plain"_s), "x");
    const ScopedEnvironment cache("XDG_CACHE_HOME", QFile::encodeName(at(u"plain/cache"_s)));
    const struct
    {
        const char *action;
        std::function<bool()> succeeds;
    } cases[] = {
        {"create", [] { return MyDocument::create() != nullptr; }},
        {"revert",
         [&] {
             Error error;
             const bool reverted = opened->revertToContentsOfUrl(package, &error);
             EXPECT_EQ(error.code(), 3072);
             return reverted;
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.action);
        const int before = alerts.count();
        EXPECT_FALSE(c.succeeds());
        ASSERT_EQ(alerts.count(), before + 1);
        EXPECT_TRUE(alerts.last().request.messageText.startsWith(
            u"Error trying to create temporary directory: "_s))
            << alerts.last().request.messageText.toStdString();
        EXPECT_TRUE(alerts.last().request.messageText.endsWith(u"."_s));
    }
    EXPECT_EQ(opened->textStorage().string(), u"edited"_s);
}

TEST_F(MyDocumentWindowSetupTest, ARevertSetsTheWindowUpAgainWithAFreshFolder)
{
    const QString package = at(u"note.lumaquill"_s);
    const std::unique_ptr<MyDocument> document = MyDocument::create();
    ASSERT_TRUE(document);
    document->textStorage().setAttributedString(AttributedString(u"stored"_s));
    ASSERT_TRUE(document->saveToUrl(package, SaveOperation::SaveAs, nullptr));
    FakeDocumentWindow *fake = setUpWindow(*document);
    document->textStorage().setAttributedString(AttributedString(u"edited"_s));
    const QString firstFolder = document->tempRecordingDir;
    fake->calls.clear();

    Error error;
    ASSERT_TRUE(document->revertToContentsOfUrl(package, &error))
        << error.localizedDescription().toStdString();
    EXPECT_EQ(fake->outlets().textView->toPlainText(), u"stored"_s);
    EXPECT_EQ(fake->outlets().charCountField->text(), u"Characters: 6"_s);
    EXPECT_EQ(fake->calls.mid(0, 2), (QStringList{u"close"_s, u"windowControllerDidLoadNib"_s}));
    EXPECT_NE(document->tempRecordingDir, firstFolder);
    EXPECT_EQ(document->recordingObject().tempDir(), document->tempRecordingDir);
    EXPECT_EQ(document->recordingObject().windowController(), &fake->recording);
    EXPECT_EQ(timers.pendingCount(), 1);
}

TEST_F(MyDocumentWindowSetupTest, TheSavePanelProposesAFreeNameInTheSaveFolder)
{
    defaults->setString(u"defaultSaveFilename"_s, u"Lecture"_s);
    const QString base = PrefsController::sharedController().currentDefaultFilename();
    ASSERT_FALSE(base.isEmpty());
    const QString folder = at(u"notes"_s);
    const QString home = at(u"home"_s);
    const QString documents = home + u"/Documents"_s;
    const ScopedEnvironment homeIsHere("HOME", home.toUtf8());
    const auto name = [&](int number) {
        return (number == 0 ? base : u"%1-%2"_s.arg(base).arg(number)) + u".lumaquill"_s;
    };
    enum class Stored { Path, Archived, Nothing, Missing };
    const struct
    {
        const char *what;
        Stored stored;
        bool hasDocuments;
        int takenUpTo; // names 0 (the plain one) to this one exist in folder; -1 none
        QString expectedDirectory;
        int expectedNumber;
    } cases[] = {
        {"free", Stored::Path, true, -1, folder, 0},
        {"plain name taken", Stored::Path, true, 0, folder, 1},
        {"three taken", Stored::Path, true, 2, folder, 3},
        {"up to 999 taken", Stored::Path, true, 999, folder, 1000},
        {"all taken", Stored::Path, true, 1000, folder, 1000},
        {"stored by the preferences", Stored::Archived, true, 0, folder, 1},
        {"no folder: the Documents folder", Stored::Nothing, true, 0, documents, 0},
        {"no folder and no Documents: home", Stored::Nothing, false, 0, home, 0},
        {"the stored folder is gone", Stored::Missing, true, -1, documents, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        QDir(documents).removeRecursively();
        if (c.hasDocuments)
            QDir().mkpath(documents);
        for (int number = 0; number <= c.takenUpTo; ++number)
            writeBytes(QDir(folder).filePath(name(number)), "");
        defaults->removeObject(u"defaultSaveLocation"_s);
        if (c.stored == Stored::Path)
            defaults->setString(u"defaultSaveLocation"_s, folder);
        else if (c.stored == Stored::Archived)
            defaults->setObject(u"defaultSaveLocation"_s,
                                ArchivedValues::encodeFolderURL(QUrl::fromLocalFile(folder)));
        else if (c.stored == Stored::Missing)
            defaults->setString(u"defaultSaveLocation"_s, folder + u"/gone"_s);
        const std::unique_ptr<MyDocument> document = newDocument();
        FilePanel panel(FilePanel::Kind::Save);
        EXPECT_TRUE(document->prepareSavePanel(panel));
        EXPECT_EQ(panel.directory(), c.expectedDirectory);
        EXPECT_EQ(panel.nameFieldStringValue(), name(c.expectedNumber));
        EXPECT_EQ(panel.allowedExtensions(), QStringList{u"lumaquill"_s});
        EXPECT_TRUE(panel.canCreateFolders());
    }

    // Without a name format, the note's own name.
    defaults->removeObject(u"defaultSaveFilename"_s);
    const std::unique_ptr<MyDocument> untitled = newDocument();
    FilePanel panel(FilePanel::Kind::Save);
    EXPECT_TRUE(untitled->prepareSavePanel(panel));
    EXPECT_EQ(panel.nameFieldStringValue(), untitled->displayName() + u".lumaquill"_s);
}

TEST_F(MyDocumentWindowSetupTest, ANotesOwnLayoutWinOverTheDefaultOne)
{
    const QString defaultFrame = u"10 20 500 400 0 0 800 600 "_s;
    const QString packageFrame = u"30 40 600 450 0 0 800 600 "_s;
    const ArchiveDictionary defaultState{
        {ArchiveValue::string(u"from"_s), ArchiveValue::string(u"default"_s)}};
    const ArchiveDictionary packageState{
        {ArchiveValue::string(u"from"_s), ArchiveValue::string(u"package"_s)}};
    const struct
    {
        bool hasDefault;
        bool packageFrame, packageState, packageDivider;
        QString expectedFrame; // empty: the window's own
        QString expectedState;
        int expectedDivider; // -1: the window's own
    } cases[] = {
        {false, false, false, false, {}, {}, -1},
        {false, true, true, true, packageFrame, u"package"_s, 300},
        {true, false, false, false, defaultFrame, u"default"_s, 200},
        {true, true, true, true, packageFrame, u"package"_s, 300},
        // The default's divider, then the text area widened with the window by 100.
        {true, true, false, false, packageFrame, u"default"_s, 300},
        {true, false, true, true, defaultFrame, u"package"_s, 300},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.hasDefault << c.packageFrame << c.packageState << c.packageDivider);
        if (c.hasDefault)
            DefaultWindowState{defaultFrame, defaultState, 200.0}.store(*defaults);
        else
            defaults->removeObject(u"defaultWindowState"_s);
        const std::unique_ptr<MyDocument> document = newDocument();
        if (c.packageFrame)
            document->savedFrame = packageFrame;
        if (c.packageState)
            document->recordingControllerState = packageState;
        if (c.packageDivider)
            document->dividerPosition = 300.0;
        auto window = std::make_unique<FakeDocumentWindow>(document->textStorage());
        const QRect ownFrame = window->window()->geometry();
        const int ownDivider = window->outlets().mainSplitView->sizes().value(0);
        FakeDocumentWindow *fake = window.get();
        document->addWindowController(std::move(window));

        const QRect frame = c.expectedFrame.isEmpty()
                                ? ownFrame
                                : frameFromString(c.expectedFrame, primary()).value();
        EXPECT_EQ(fake->window()->geometry(), frame);
        QStringList states;
        for (const ArchiveDictionary &state : fake->statesSet)
            states.append(state.value(0).second.toString());
        EXPECT_EQ(states, c.expectedState.isEmpty() ? QStringList() : QStringList{c.expectedState});
        EXPECT_EQ(fake->outlets().mainSplitView->sizes().value(0),
                  c.expectedDivider < 0 ? ownDivider : c.expectedDivider);
        EXPECT_EQ(fake->calls.mid(0, 2),
                  (QStringList{u"close"_s, u"windowControllerDidLoadNib"_s}));
        EXPECT_FALSE(document->startingUp());
        EXPECT_GT(document->mediaWidth, 0.0);
    }
}

TEST_F(MyDocumentWindowSetupTest, TheLayoutIsStoredAsDefaultAndWithTheNote)
{
    const ArchiveDictionary forDefault{
        {ArchiveValue::string(u"pane"_s), ArchiveValue::boolean(true)}};
    const ArchiveDictionary full{{ArchiveValue::string(u"pane"_s), ArchiveValue::integer(7)}};
    // Without a window there is nothing to store.
    const std::unique_ptr<MyDocument> bare = newDocument();
    bare->saveDefaultDocumentState();
    EXPECT_FALSE(defaults->contains(u"defaultWindowState"_s));

    const std::unique_ptr<MyDocument> document = newDocument();
    document->dividerPosition = 250.0;
    FakeDocumentWindow *fake = setUpWindow(*document);
    fake->stateForDefault = forDefault;
    fake->state = full;
    fake->window()->setGeometry(40, 50, 600, 420);
    document->positionDivider(320.0);
    document->saveDefaultDocumentState();
    const std::optional<DefaultWindowState> stored = DefaultWindowState::load(*defaults);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->winFrame, windowFrameString(fake->window()));
    EXPECT_EQ(stored->recControllerState.value().value(0).second.toBool(), true);
    EXPECT_EQ(stored->dividerPosition, fake->outlets().docView->width());
    EXPECT_EQ(fake->outlets().docView->width(), 320);

    const QString package = at(u"layout.lumaquill"_s);
    ASSERT_TRUE(document->saveToUrl(package, SaveOperation::SaveAs, nullptr));
    const PackageMeta meta = metaOf(package);
    EXPECT_EQ(meta.winFrame, windowFrameString(fake->window()));
    EXPECT_EQ(frameFromString(meta.winFrame.value_or(QString()), primary()),
              QRect(40, 50, 600, 420));
    EXPECT_EQ(meta.recControllerState.value().value(0).second.toInteger(), 7);
    EXPECT_EQ(meta.dividerPosition, 320.0);
}

TEST_F(MyDocumentWindowSetupTest, InformationBarTexts)
{
    const QDate today(2026, 12, 9);
    const struct
    {
        const char *locale;
        std::optional<QDate> began;
        QString expected;
    } dates[] = {
        {"en_US", std::nullopt, u"Today is December 9, 2026"_s},
        {"en_US", QDate(2025, 3, 1), u"Notes from March 1, 2025"_s},
        {"de_DE", QDate(2025, 3, 1), u"Notes from 1. März 2025"_s},
    };
    for (const auto &c : dates)
        EXPECT_EQ(information_bar::notesDateText(c.began, today, QLocale(QLatin1String(c.locale))),
                  c.expected);
    const struct
    {
        double seconds;
        QString expected;
    } lengths[] = {
        {3725, u"Recorded: 1:02:05"_s},
        {59.9, u"Recorded: 0:00:59"_s},
        {90000, u"Recorded: 25:00:00"_s},
    };
    for (const auto &c : lengths)
        EXPECT_EQ(information_bar::recordedText(c.seconds), c.expected);
    EXPECT_EQ(information_bar::charactersText(42), u"Characters: 42"_s);
}

TEST_F(MyDocumentWindowSetupTest, TheInformationBarShowsTheNote)
{
    const ScopedEnvironment zone("TZ", "UTC");
    QLocale::setDefault(QLocale(u"en_US"_s));
    const struct
    {
        double recorded; // 0: no session
        bool recordingNow;
        QString date;
        QString length; // empty: hidden
    } cases[] = {
        {0, false, u"Today is December 9, 2026"_s, {}},
        {3725, false, u"Notes from December 9, 2026"_s, u"Recorded: 1:02:05"_s},
        {3725, true, u"Notes from December 9, 2026"_s, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.recorded);
        const std::unique_ptr<MyDocument> document = newDocument();
        document->textStorage().setAttributedString(AttributedString(u"Hello"_s));
        if (c.recorded > 0)
            document->recordingObject().addSession(WrenTimerSession::sessionWithLength(c.recorded));
        document->recording = c.recordingNow;
        FakeDocumentWindow *fake = setUpWindow(*document);
        const DocumentWindowOutlets &o = fake->outlets();
        EXPECT_EQ(o.notesDateField->text(), c.date);
        EXPECT_EQ(o.charCountField->text(), u"Characters: 5"_s);
        EXPECT_EQ(o.recLengthField->isVisibleTo(fake->window()), !c.length.isEmpty());
        EXPECT_EQ(o.recImageView->isVisibleTo(fake->window()), !c.length.isEmpty());
        if (!c.length.isEmpty()) {
            EXPECT_EQ(o.recLengthField->text(), c.length);
        }
        EXPECT_FALSE(o.charCountImageView->pixmap().isNull());

        // The bar follows the note every minute.
        EXPECT_EQ(timers.pendingIntervals(), QList<double>{60.0});
        document->textStorage().setAttributedString(AttributedString(u"Hello there"_s));
        timers.fireAll();
        EXPECT_EQ(o.charCountField->text(), u"Characters: 11"_s);
    }
    QLocale::setDefault(QLocale::c());
}

TEST_F(MyDocumentWindowSetupTest, EachFieldFollowsTheTextBeforeIt)
{
    const QString texts[] = {u"Today is December 9, 2026"_s, u"x"_s, QString()};
    for (const QString &text : texts) {
        QWidget bar;
        QLabel preceding(text, &bar);
        preceding.move(27, 4);
        QLabel icon(&bar);
        icon.setGeometry(0, 4, 16, 16);
        QLabel field(&bar);
        field.move(0, 6);
        information_bar::positionPrecedingField(&preceding, &icon, &field);
        const int textEnd = 27 + preceding.fontMetrics().horizontalAdvance(text);
        EXPECT_EQ(icon.geometry(), QRect(textEnd + 20, 4, 16, 16));
        EXPECT_EQ(field.pos(), QPoint(textEnd + 20 + 16 - 1, 6));
    }
}

TEST_F(MyDocumentWindowSetupTest, APlainFileOpenedAsANoteIsImportedIntoAnUntitledOne)
{
    const char *names[] = {"talk.mov", "slides.pdf"};
    for (const char *name : names) {
        SCOPED_TRACE(name);
        const QString path = at(QLatin1String(name));
        writeBytes(path, "not read");
        const std::unique_ptr<MyDocument> document = newDocument();
        Error error;
        ASSERT_TRUE(document->openUrl(path, &error)) << error.localizedDescription().toStdString();
        FakeDocumentWindow *fake = setUpWindow(*document);
        EXPECT_TRUE(fake->calls.contains(u"addPath:"_s + path))
            << fake->calls.join(u' ').toStdString();
        EXPECT_TRUE(document->fileUrl().isEmpty());
        EXPECT_TRUE(document->openImportingFile().isEmpty());
    }
}

TEST_F(MyDocumentWindowSetupTest, TheTextIsSetUpWithoutStampsOrUndo)
{
    PrefsController::sharedController().setCurrentDefaultFont(QFont(u"DejaVu Serif"_s, 17));
    const TextFont defaultFont =
        textFontFromQFont(PrefsController::sharedController().currentDefaultFont());
    const struct
    {
        QString text;
        bool checkSpelling;
        bool typingInDefaultFont;
    } cases[] = {
        {QString(), false, true},
        {u"Read from the package"_s, true, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        defaults->setBool(u"checkSpellingByDefault"_s, c.checkSpelling);
        const std::unique_ptr<MyDocument> document = newDocument();
        document->textStorage().setAttributedString(AttributedString(c.text));
        FakeDocumentWindow *fake = setUpWindow(*document);
        WrenTextView *view = fake->outlets().textView;
        EXPECT_EQ(document->textView(), view);
        EXPECT_EQ(view->controller(), fake);
        EXPECT_EQ(view->toPlainText(), c.text);
        EXPECT_EQ(view->isContinuousSpellCheckingEnabled(), c.checkSpelling);
        EXPECT_EQ(view->selectedRange(), (TextRange{0, 0}));
        EXPECT_EQ(document->textStorage().document()->documentMargin(), 10.0);
        EXPECT_EQ(view->attributesForNewText({0, 0}).font == defaultFont, c.typingInDefaultFont);
        // Nothing stamped, nothing to undo, nothing edited.
        EXPECT_EQ(document->recordingObject().events().count(), 0);
        EXPECT_FALSE(document->undoManager()->canUndo());
        EXPECT_FALSE(document->isDocumentEdited());
    }
    PrefsController::sharedController().setCurrentDefaultFont(std::nullopt);
}

TEST_F(MyDocumentWindowSetupTest, PicturesWiderThanTheTextAreScaledDown)
{
    const struct
    {
        QSizeF natural;
        qreal available;
        QSizeF expected;
    } cases[] = {
        {{100, 50}, 400, {100, 50}},
        {{400, 200}, 400, {400, 200}},
        {{800, 400}, 380, {380, 190}},
        {{800, 400}, 0, {800, 400}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ScaledImageHandler::fittedSize(c.natural, c.available), c.expected);

    // In a text: the width the text leaves, inside its margins.
    QTextDocument text;
    text.setDocumentMargin(10);
    text.setTextWidth(400);
    ScaledImageHandler::install(&text);
    ScaledImageHandler::install(&text);
    QImage wide(1000, 500, QImage::Format_RGB32);
    wide.fill(Qt::red);
    text.addResource(QTextDocument::ImageResource, QUrl(u"wide"_s), wide);
    QTextImageFormat format;
    format.setName(u"wide"_s);
    auto *handler = dynamic_cast<ScaledImageHandler *>(
        text.documentLayout()->handlerForObject(QTextFormat::ImageObject));
    ASSERT_TRUE(handler);
    EXPECT_EQ(handler->intrinsicSize(&text, 0, format), QSizeF(380, 190));
}

TEST_F(MyDocumentWindowSetupTest, TheWindowIsDrawn)
{
    const std::unique_ptr<MyDocument> document = newDocument();
    QImage picture(900, 300, QImage::Format_RGB32);
    picture.fill(Qt::darkBlue);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    AttributedString text(u"Lecture notes\n"_s);
    TextAttributes attachment;
    attachment.attachment = TextAttachment{png, u"picture.png"_s, {}};
    text.append(QString(QChar(0xFFFC)), attachment);
    document->textStorage().setAttributedString(text);
    FakeDocumentWindow *fake = setUpWindow(*document);
    QApplication::processEvents();
    const QImage shot = fake->window()->grab().toImage();
    const QString file = QCoreApplication::applicationDirPath() + u"/note-window.png"_s;
    EXPECT_TRUE(shot.save(file));
    QSet<QRgb> colours;
    int blue = 0;
    for (int y = 0; y < shot.height(); y += 2)
        for (int x = 0; x < shot.width(); x += 2) {
            colours.insert(shot.pixel(x, y));
            blue += shot.pixel(x, y) == QColor(Qt::darkBlue).rgb();
        }
    EXPECT_GT(colours.size(), 4);
    // The picture is there, narrowed to the text's width.
    EXPECT_GT(blue, 100);
    EXPECT_LT(blue * 4, 900 * 300);
}

} // namespace
} // namespace lq::test
