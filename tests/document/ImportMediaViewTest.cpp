#include "document/ImportMediaView.h"

#include <QFontMetricsF>

#include <gtest/gtest.h>

namespace {

const QColor kOrange = QColor::fromRgbF(0.9140625f, 0.4921875f, 0.12890625f);

struct Session
{
    float length;
    bool audio;
    bool video;
};

TEST(ImportMediaViewTest, SegmentsShareTheWidthByLengthWithTheirLabelsWhereTheyFit)
{
    const QFontMetricsF metrics{QFont()};
    const qreal labelWidth = metrics.horizontalAdvance(QStringLiteral("1:02:05"));
    const struct
    {
        const char *name;
        std::vector<Session> sessions;
        qreal width;
        bool displayTime;
        std::vector<qreal> widths;
        QStringList labels;
        std::vector<QColor> colours;
    } rows[] = {
        {"wide enough", {{3725, true, true}}, 400, true, {400}, {"1:02:05"}, {kOrange}},
        {"too narrow",
         {{3725, true, false}},
         labelWidth + 8,
         true,
         {labelWidth + 8},
         {""},
         {Qt::red}},
        {"by length",
         {{10, false, true}, {30, false, false}},
         400,
         true,
         {100, 300},
         {"0:00:10", "0:00:30"},
         {Qt::yellow, Qt::white}},
        {"no time",
         {{59.9f, true, false}, {0.5f, true, true}},
         400,
         false,
         {400 * 59.9 / 60.4, 400 * 0.5 / 60.4},
         {"", ""},
         {Qt::red, kOrange}},
        {"a day and more", {{90061, true, false}}, 400, true, {400}, {"25:01:01"}, {Qt::red}},
        {"no length at all", {{0, true, false}, {-5, true, false}}, 400, true, {}, {}, {}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        ImportMediaView view;
        view.setNumSessions(uint32_t(row.sessions.size()));
        view.setDisplayTime(row.displayTime);
        for (uint32_t i = 0; i < row.sessions.size(); ++i) {
            view.setLength(row.sessions[i].length, i);
            view.setHasAudio(row.sessions[i].audio, i);
            view.setHasVideo(row.sessions[i].video, i);
        }
        const QRectF bounds(10, 0, row.width, 36);
        const auto segments = view.segments(bounds, metrics);
        ASSERT_EQ(size_t(segments.size()), row.widths.size());
        qreal left = bounds.left();
        for (size_t i = 0; i < row.widths.size(); ++i) {
            const ImportMediaView::Segment &segment = segments.at(qsizetype(i));
            EXPECT_NEAR(segment.rect.left(), left, 1e-6);
            EXPECT_NEAR(segment.rect.width(), row.widths[i], 1e-3);
            EXPECT_EQ(segment.rect.height(), 36);
            EXPECT_EQ(segment.label, row.labels.at(qsizetype(i)));
            EXPECT_EQ(segment.colour, row.colours[i]);
            if (!segment.label.isEmpty()) {
                EXPECT_NEAR(segment.labelRect.right(), segment.rect.right() - 4, 1e-6);
                EXPECT_NEAR(segment.labelRect.bottom(), bounds.bottom() - 2, 1e-6);
            }
            left = segment.rect.right();
        }
    }
}

} // namespace
