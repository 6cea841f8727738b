#include "engines/legacy/WrenPlayerSession.h"
#include "platform/foundation/MainThread.h"
#include "platform/media/CaptureGraph.h"
#include "platform/media/GstCaptureDevices.h"
#include "platform/media/VideoSurface.h"
#include "platform/pdf/PdfTestFiles.h"
#include "support/MediaFixtures.h"
#include "window/PDFMiniView.h"
#include "window/QTCaptureMiniView.h"
#include "window/QTMovieMiniView.h"
#include "window/SlidesPages.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

class Promotions : public LQVideoViewController
{
public:
    void QTMiniViewDoubleClicked() override { calls.append(u"video"_s); }
    void pdfMiniViewDoubleClicked() override { calls.append(u"slides"_s); }
    QStringList calls;
};

// One colour a second; a gap without picture from 10 s on.
class ColourMovie : public MovieFrameSource
{
public:
    double currentTime() const override { return time; }
    std::optional<QSizeF> naturalSize() const override { return natural; }
    QImage frameAt(double seconds) const override
    {
        QImage frame(64, 36, QImage::Format_RGB32);
        frame.fill(QColor::fromHsv(int(seconds) * 36 % 360, 200, 230));
        return seconds < 10 ? frame : QImage();
    }
    double time = 0;
    std::optional<QSizeF> natural = QSizeF(640, 360);
};

// A shown parent that logs the mouse, wheel and menu events its child lets through.
class EventLog : public QWidget
{
public:
    EventLog()
    {
        resize(320, 240);
        show();
    }
    QList<QEvent::Type> types;

protected:
    bool event(QEvent *event) override
    {
        if (QList{QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                  QEvent::Wheel, QEvent::ContextMenu}
                .contains(event->type()))
            types.append(event->type());
        return QWidget::event(event);
    }
};

enum class Kind { Slides, Capture, Movie };

// A mini view of kind filling parent, the movie view showing movie.
std::pair<QWidget *, MiniViewActions *> make(Kind kind, QWidget &parent, ColourMovie &movie)
{
    auto *movieView = kind == Kind::Movie ? new QTMovieMiniView(&parent) : nullptr;
    QWidget *view = kind == Kind::Slides    ? static_cast<QWidget *>(new PDFMiniView(&parent))
                    : kind == Kind::Capture ? static_cast<QWidget *>(new QTCaptureMiniView(&parent))
                                            : movieView;
    if (movieView)
        movieView->setMovie(&movie);
    view->setGeometry(parent.rect());
    view->show();
    return {view, dynamic_cast<MiniViewActions *>(view)};
}

// Whether the act reached the parent: clicks arrive as the window system sends them; a wheel
// event left unaccepted would travel on.
using Act = std::function<bool(QWidget *view, const EventLog &parent)>;

TEST(MiniViewsTest, ClicksAndTheWheelReachTheControllerOrTheViewsBehindAsEachViewSays)
{
    const Act click = [](QWidget *v, const EventLog &p) {
        QTest::mouseClick(v, Qt::LeftButton);
        QTest::mouseClick(v, Qt::RightButton);
        return !p.types.isEmpty();
    };
    const Act doubleClick = [](QWidget *v, const EventLog &p) {
        QTest::mouseDClick(v, Qt::LeftButton);
        return p.types.contains(QEvent::MouseButtonDblClick);
    };
    const Act wheel = [](QWidget *v, const EventLog &) {
        QWheelEvent event(QPointF(9, 9), QPointF(9, 9), {}, QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(v, &event);
        return !event.isAccepted();
    };
    Promotions answers;
    LQVideoViewController answersNothing;
    const struct
    {
        const char *name;
        Kind kind;
        LQVideoViewController *controller;
        Act act;
        QStringList calls;
        bool passedOn;
    } cases[] = {
        {"slides, double click", Kind::Slides, &answers, doubleClick, {u"slides"_s}, false},
        {"capture, double click", Kind::Capture, &answers, doubleClick, {u"video"_s}, false},
        {"movie, double click", Kind::Movie, &answers, doubleClick, {u"video"_s}, false},
        {"slides, no such message", Kind::Slides, &answersNothing, doubleClick, {}, false},
        {"capture, no controller", Kind::Capture, nullptr, doubleClick, {}, false},
        {"movie, left and right click", Kind::Movie, &answers, click, {}, false},
        {"movie, wheel", Kind::Movie, &answers, wheel, {}, false},
        // The capture view leaves them to its base class, which passes them on.
        {"capture, click", Kind::Capture, &answers, click, {}, true},
        {"capture, wheel", Kind::Capture, &answers, wheel, {}, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        answers.calls.clear();
        EventLog parent;
        ColourMovie movie;
        const auto [view, actions] = make(c.kind, parent, movie);
        actions->setController(c.controller);
        EXPECT_EQ(c.act(view, parent), c.passedOn);
        EXPECT_EQ(answers.calls, c.calls);
    }
}

TEST(MiniViewsTest, AVideoViewThatFilledItsParentKeepsFillingItAndTellsItsProportions)
{
    // Parents grow from 320 by 240 to 400 by 300.
    const QRect filled(0, 0, 320, 240), grown(0, 0, 400, 300);
    const QSizeF picture(64, 48);
    const struct
    {
        const char *name;
        Kind kind;
        std::optional<QSizeF> movieSize;
        QRect before;
        QRect after;
        std::optional<double> ratio;
    } cases[] = {
        {"capture filling", Kind::Capture, {}, filled, grown, 4.0 / 3.0},
        {"capture in a corner", Kind::Capture, {}, {9, 9, 200, 100}, {9, 9, 200, 100}, 2.0},
        {"capture of no height", Kind::Capture, {}, {0, 0, 320, 0}, {0, 0, 320, 0}, {}},
        {"capture of no width", Kind::Capture, {}, {0, 0, 0, 240}, {0, 0, 0, 240}, {}},
        {"movie filling", Kind::Movie, picture, filled, grown, 4.0 / 3.0},
        {"movie as wide only", Kind::Movie, picture, {0, 0, 320, 9}, {0, 0, 320, 9}, 4.0 / 3.0},
        {"movie without picture", Kind::Movie, {}, filled, grown, {}},
        {"movie of no height", Kind::Movie, QSizeF(64, 0), filled, grown, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EventLog parent;
        ColourMovie movie;
        movie.natural = c.movieSize;
        QWidget *view = make(c.kind, parent, movie).first;
        view->setGeometry(c.before);
        parent.resize(400, 300);
        QCoreApplication::processEvents();
        EXPECT_EQ(view->geometry(), c.after);
        EXPECT_EQ(dynamic_cast<AspectRatioSource *>(view)->aspectRatio(), c.ratio);
    }
}

QImage shown(QWidget &view, const QString &name)
{
    const QImage image = view.grab().toImage();
    EXPECT_TRUE(image.save(QDir(QCoreApplication::applicationDirPath()).filePath(name)));
    return image;
}

TEST(MiniViewsTest, EachViewShowsItsContent)
{
    EventLog parent;
    ColourMovie movie;
    auto *movieView = static_cast<QTMovieMiniView *>(make(Kind::Movie, parent, movie).first);
    // Each second has its own colour, so the centre tells which moment is shown.
    QColor before;
    for (const double time : {1.0, 5.0, 12.0}) {
        movie.time = time;
        Q_EMIT movie.currentTimeChanged();
        const QImage image = shown(*movieView, u"mini-movie-%1s.png"_s.arg(time));
        // 640 by 360 in 320 by 240: black bands above and below.
        EXPECT_EQ(image.pixelColor(160, 5), QColor(Qt::black));
        EXPECT_EQ(image.pixelColor(160, 120),
                  time < 10 ? movie.frameAt(time).pixelColor(0, 0) : QColor(Qt::black));
        EXPECT_NE(image.pixelColor(160, 120), before);
        before = image.pixelColor(160, 120);
    }

    auto *capture = static_cast<QTCaptureMiniView *>(make(Kind::Capture, parent, movie).first);
    lq::CaptureGraph graph;
    graph.addInput(lq::CaptureGraph::Kind::Video, lq::GstCaptureDevices::kTestCameraId, false);
    graph.setPreviewSurface(capture->preview());
    lq::Error error;
    ASSERT_TRUE(graph.start(&error)) << error.localizedDescription().toStdString();
    ASSERT_TRUE(
        lq::runEventLoopUntil([&] { return capture->preview()->framesPresented() > 2; }, 10s));
    const QImage camera = shown(*capture, u"mini-capture.png"_s);
    graph.stop();
    const QImage frame = capture->preview()->currentFrame(); // the picture the camera gave
    EXPECT_EQ(camera.pixelColor(160, 120), frame.pixelColor(frame.width() / 2, frame.height() / 2));

    QTemporaryDir folder;
    ASSERT_TRUE(lq::test::writePdf(folder.filePath(u"s.pdf"_s), {QSize(400, 300)}, {u"Slide 1"_s}));
    auto *slides = static_cast<PDFMiniView *>(make(Kind::Slides, parent, movie).first);
    slides->setDocument(SlidesPages::open(folder.filePath(u"s.pdf"_s), &error));
    slides->repaint();
    ASSERT_TRUE(lq::runEventLoopUntil([&] { return slides->pageReady(); }, 10s));
    EXPECT_NE(shown(*slides, u"mini-slides.png"_s).pixelColor(160, 120),
              camera.pixelColor(160, 120));
    QThreadPool::globalInstance()->waitForDone();
}

TEST(MiniViewsTest, TheLegacyPlayersMovieShowsThePictureOfTheMomentItWasMovedTo)
{
    EventLog parent;
    ColourMovie unused;
    auto *view = static_cast<QTMovieMiniView *>(make(Kind::Movie, parent, unused).first);
    WrenPlayerSession player;
    ASSERT_TRUE(player.addMediaPaths({lq::test::MediaFixtures::recordedSession(2, 2.0).front()}));
    player.setPlayerView(view);
    EXPECT_EQ(view->naturalSize(), QSizeF(64, 48));
    player.setCurrentTime(0.3);
    const QImage early = shown(*view, u"mini-legacy-movie-early.png"_s);
    player.setCurrentTime(1.6);
    const QImage later = shown(*view, u"mini-legacy-movie-later.png"_s);
    EXPECT_NE(early, later); // the ball moved
    EXPECT_NE(qGray(early.pixel(160, 120)), 0);
    player.reset();
    EXPECT_EQ(view->grab().toImage().pixelColor(160, 120), QColor(Qt::black));
}

} // namespace
