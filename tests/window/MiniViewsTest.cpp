#include "platform/foundation/MainThread.h"
#include "platform/media/CaptureGraph.h"
#include "platform/media/GstCaptureDevices.h"
#include "platform/media/VideoSurface.h"
#include "platform/pdf/PdfTestFiles.h"
#include "window/PDFMiniView.h"
#include "window/QTCaptureMiniView.h"
#include "window/QTMovieMiniView.h"
#include "window/SlidesPages.h"
#include "window/WindowChrome.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

class Promotions : public LQVideoViewController
{
public:
    void QTMiniViewDoubleClicked() override { calls.append(u"QTMiniViewDoubleClicked"_s); }
    void pdfMiniViewDoubleClicked() override { calls.append(u"pdfMiniViewDoubleClicked"_s); }
    QStringList calls;
};

// A movie whose picture is one colour per second, and none (a gap) from 10 s on.
class ColourMovie : public MovieFrameSource
{
public:
    double currentTime() const override { return time; }
    std::optional<QSizeF> naturalSize() const override { return natural; }
    QImage frameAt(double seconds) const override
    {
        if (seconds >= 10)
            return {};
        QImage frame(natural.value_or(QSizeF(64, 48)).toSize(), QImage::Format_RGB32);
        frame.fill(QColor::fromHsv(int(seconds) * 36 % 360, 200, 230));
        return frame;
    }
    void seek(double seconds)
    {
        time = seconds;
        Q_EMIT currentTimeChanged();
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
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
            types.append(event->type());
            break;
        default:
            break;
        }
        return QWidget::event(event);
    }
};

enum class Kind { Slides, Capture, Movie };

struct MiniView
{
    QWidget *widget;
    MiniViewActions *actions;
};

MiniView make(Kind kind, QWidget &parent)
{
    switch (kind) {
    case Kind::Slides: {
        auto *view = new PDFMiniView(&parent);
        return {view, view};
    }
    case Kind::Capture: {
        auto *view = new QTCaptureMiniView(&parent);
        return {view, view};
    }
    case Kind::Movie:
        break;
    }
    auto *view = new QTMovieMiniView(&parent);
    return {view, view};
}

TEST(MiniViewsTest, ADoubleClickGoesToAControllerThatAnswersItAndNoFurther)
{
    Promotions answers;
    LQVideoViewController answersNothing;
    const struct
    {
        const char *name;
        Kind kind;
        LQVideoViewController *controller;
        QStringList calls;
    } cases[] = {
        {"slides", Kind::Slides, &answers, {u"pdfMiniViewDoubleClicked"_s}},
        {"capture", Kind::Capture, &answers, {u"QTMiniViewDoubleClicked"_s}},
        {"movie", Kind::Movie, &answers, {u"QTMiniViewDoubleClicked"_s}},
        {"slides, controller without the message", Kind::Slides, &answersNothing, {}},
        {"capture, controller without the message", Kind::Capture, &answersNothing, {}},
        {"movie, no controller", Kind::Movie, nullptr, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        answers.calls.clear();
        EventLog parent;
        const MiniView view = make(c.kind, parent);
        view.widget->setGeometry(parent.rect());
        view.widget->show();
        view.actions->setController(c.controller);
        QTest::mouseClick(view.widget, Qt::LeftButton);
        EXPECT_TRUE(answers.calls.isEmpty());
        QTest::mouseDClick(view.widget, Qt::LeftButton);
        EXPECT_EQ(answers.calls, c.calls);
        EXPECT_FALSE(parent.types.contains(QEvent::MouseButtonDblClick));
    }
}

// Whether the view passed the user's act on to the views behind it: clicks travel on as the
// window system sends them; a wheel event left unaccepted would.
using Act = std::function<bool(QWidget *view, const EventLog &parent)>;

bool click(QWidget *view, const EventLog &parent, Qt::MouseButton button)
{
    QTest::mouseClick(view, button);
    return !parent.types.isEmpty();
}

bool turnWheel(QWidget *view, const EventLog &)
{
    const QPointF at(10, 10);
    QWheelEvent wheel(at, view->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &wheel);
    return !wheel.isAccepted();
}

TEST(MiniViewsTest, TheMovieKeepsClicksAndTheWheelToItself)
{
    const Act leftClick = [](QWidget *v, const EventLog &p) { return click(v, p, Qt::LeftButton); };
    const Act rightClick = [](QWidget *v, const EventLog &p) {
        return click(v, p, Qt::RightButton);
    };
    const struct
    {
        const char *name;
        Kind kind;
        Act act;
        bool passedOn;
    } cases[] = {
        {"movie, click", Kind::Movie, leftClick, false},
        {"movie, right click", Kind::Movie, rightClick, false},
        {"movie, wheel", Kind::Movie, turnWheel, false},
        // The capture view leaves them to its base class, which passes them on.
        {"capture, click", Kind::Capture, leftClick, true},
        {"capture, right click", Kind::Capture, rightClick, true},
        {"capture, wheel", Kind::Capture, turnWheel, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EventLog parent;
        const MiniView view = make(c.kind, parent);
        ColourMovie movie;
        movie.time = 3;
        if (auto *movieView = qobject_cast<QTMovieMiniView *>(view.widget))
            movieView->setMovie(&movie);
        Promotions controller;
        view.actions->setController(&controller);
        view.widget->setGeometry(parent.rect());
        view.widget->show();
        EXPECT_EQ(c.act(view.widget, parent), c.passedOn);
        EXPECT_TRUE(controller.calls.isEmpty());
        EXPECT_EQ(movie.time, 3);
    }
}

TEST(MiniViewsTest, AspectRatioIsNoneWithoutAPictureOrAnArea)
{
    const struct
    {
        const char *name;
        Kind kind;
        std::optional<QSizeF> movieSize;
        QSize viewSize;
        std::optional<double> ratio;
    } cases[] = {
        {"movie", Kind::Movie, QSizeF(640, 480), {100, 100}, 4.0 / 3.0},
        {"movie without picture", Kind::Movie, std::nullopt, {100, 100}, std::nullopt},
        {"movie of no height", Kind::Movie, QSizeF(640, 0), {100, 100}, std::nullopt},
        {"capture", Kind::Capture, {}, {320, 240}, 4.0 / 3.0},
        {"capture of no height", Kind::Capture, {}, {320, 0}, std::nullopt},
        {"capture of no width", Kind::Capture, {}, {0, 240}, std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QWidget parent;
        const MiniView view = make(c.kind, parent);
        ColourMovie movie;
        movie.natural = c.movieSize;
        if (auto *movieView = qobject_cast<QTMovieMiniView *>(view.widget))
            movieView->setMovie(&movie);
        view.widget->resize(c.viewSize);
        QResizeEvent resized(c.viewSize, QSize());
        QApplication::sendEvent(view.widget, &resized);
        const std::optional<double> ratio =
            dynamic_cast<AspectRatioSource *>(view.widget)->aspectRatio();
        EXPECT_EQ(ratio.has_value(), c.ratio.has_value());
        if (ratio && c.ratio) {
            EXPECT_DOUBLE_EQ(*ratio, *c.ratio);
        }
    }
}

TEST(MiniViewsTest, AVideoViewThatFilledItsParentKeepsFillingIt)
{
    const struct
    {
        const char *name;
        Kind kind;
        QRect before;
        QRect after;
    } cases[] = {
        {"capture filling", Kind::Capture, {0, 0, 320, 240}, {0, 0, 400, 300}},
        {"movie filling", Kind::Movie, {0, 0, 320, 240}, {0, 0, 400, 300}},
        {"capture in a corner", Kind::Capture, {10, 10, 200, 100}, {10, 10, 200, 100}},
        {"movie as wide only", Kind::Movie, {0, 0, 320, 200}, {0, 0, 320, 200}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EventLog parent;
        QWidget *view = make(c.kind, parent).widget;
        view->setGeometry(c.before);
        view->show();
        parent.resize(400, 300);
        QCoreApplication::processEvents();
        EXPECT_EQ(view->geometry(), c.after);
        // Moved to another parent, it follows that one.
        EventLog other;
        view->setParent(&other);
        view->setGeometry(other.rect());
        parent.resize(500, 400);
        other.resize(200, 150);
        QCoreApplication::processEvents();
        EXPECT_EQ(view->geometry(), QRect(0, 0, 200, 150));
        delete view;
    }
}

QImage shown(QWidget &view)
{
    QImage image = view.grab().toImage();
    const QDir folder(QCoreApplication::applicationDirPath());
    EXPECT_TRUE(image.save(folder.filePath(view.objectName() + u".png"_s)));
    return image;
}

TEST(MiniViewsTest, EachViewShowsItsContent)
{
    const QSize size(320, 240);

    ColourMovie movie;
    QTMovieMiniView movieView;
    movieView.resize(size);
    movieView.setMovie(&movie);
    QImage movieAt[3];
    const double times[] = {1, 5, 12};
    for (int i = 0; i < 3; ++i) {
        movie.seek(times[i]);
        movieView.setObjectName(u"mini-movie-%1s"_s.arg(times[i]));
        movieAt[i] = shown(movieView);
    }
    const QPoint centre(160, 120);
    const QPoint band(160, 5); // 640 by 360 in 320 by 240: black bands above and below
    EXPECT_EQ(movieAt[0].pixelColor(centre), movie.frameAt(1).pixelColor(0, 0));
    EXPECT_EQ(movieAt[1].pixelColor(centre), movie.frameAt(5).pixelColor(0, 0));
    EXPECT_NE(movieAt[0].pixelColor(centre), movieAt[1].pixelColor(centre));
    for (const QImage &image : movieAt)
        EXPECT_EQ(image.pixelColor(band), QColor(Qt::black));
    EXPECT_EQ(movieAt[2].pixelColor(centre), QColor(Qt::black)); // a gap

    QTCaptureMiniView capture;
    capture.setObjectName(u"mini-capture"_s);
    capture.resize(size);
    capture.show();
    lq::CaptureGraph graph;
    graph.addInput(lq::CaptureGraph::Kind::Video, lq::GstCaptureDevices::kTestCameraId, false);
    graph.setPreviewSurface(capture.preview());
    lq::Error error;
    ASSERT_TRUE(graph.start(&error)) << error.localizedDescription().toStdString();
    ASSERT_TRUE(
        lq::runEventLoopUntil([&] { return capture.preview()->framesPresented() > 2; }, 10s));
    const QImage camera = shown(capture);
    graph.stop();
    const QImage frame = capture.preview()->currentFrame();
    EXPECT_EQ(camera.pixelColor(centre), frame.pixelColor(frame.width() / 2, frame.height() / 2));

    QTemporaryDir folder;
    const QString path = folder.filePath(u"slides.pdf"_s);
    ASSERT_TRUE(lq::test::writePdf(path, {QSize(400, 300)}, {u"Slide 1"_s}));
    std::shared_ptr<SlidesPages> pages = SlidesPages::open(path, &error);
    ASSERT_NE(pages, nullptr);
    PDFMiniView slides;
    slides.setObjectName(u"mini-slides"_s);
    slides.resize(size);
    slides.setDocument(pages);
    slides.show();
    slides.repaint();
    ASSERT_TRUE(lq::runEventLoopUntil([&] { return slides.pageReady(); }, 10s));
    const QImage slide = shown(slides);
    EXPECT_NE(slide.pixelColor(centre), camera.pixelColor(centre));
    QThreadPool::globalInstance()->waitForDone();
}

TEST(MiniViewsTest, TheToolbarExtensionDrawsAWhiteTopAndABlackFoot)
{
    QWidget window;
    window.setPalette(QPalette(QColor(200, 210, 220)));
    ToolbarExtension strip(&window);
    strip.setObjectName(u"toolbar-extension"_s);
    strip.resize(120, ToolbarExtension::kHeight);
    strip.setAutoFillBackground(true);
    const QImage image = shown(strip);
    for (int x : {0, 60, 119}) {
        EXPECT_EQ(image.pixelColor(x, 0), QColor(Qt::white));
        EXPECT_EQ(image.pixelColor(x, ToolbarExtension::kHeight - 1), QColor(Qt::black));
        EXPECT_EQ(image.pixelColor(x, 1), QColor(200, 210, 220));
    }
}

} // namespace
