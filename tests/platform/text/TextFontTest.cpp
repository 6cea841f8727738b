#include "platform/text/TextFont.h"

#include <QFontInfo>

#include <gtest/gtest.h>

using namespace lq;

namespace {

TEST(TextFontTest, PostScriptNamesMapToFamiliesAndBack)
{
    const QFont bold = displayFont({QStringLiteral("DejaVuSans-Bold"), 14.0});
    EXPECT_EQ(bold.family(), "DejaVu Sans");
    EXPECT_EQ(bold.styleName(), "Bold");
    EXPECT_EQ(bold.pointSizeF(), 14.0);
    EXPECT_EQ(textFontFromQFont(bold), (TextFont{QStringLiteral("DejaVuSans-Bold"), 14.0}));

    QFont plain(QStringLiteral("DejaVu Serif"));
    plain.setPointSizeF(11.0);
    plain.setBold(true);
    EXPECT_EQ(textFontFromQFont(plain).postScriptName, "DejaVuSerif-Bold");
}

TEST(TextFontTest, AFontTheSystemLacksIsShownByAFamilyReadFromItsName)
{
    const QFont substitute = displayFont({QStringLiteral("Helvetica-Bold"), 12.0});
    EXPECT_EQ(substitute.family(), "Helvetica");
    EXPECT_EQ(substitute.styleName(), "Bold");
    // Whatever Qt shows, something is shown.
    EXPECT_FALSE(QFontInfo(substitute).family().isEmpty());
}

} // namespace
