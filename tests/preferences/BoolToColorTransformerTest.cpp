#include "preferences/BoolToColorTransformer.h"

#include "platform/foundation/Date.h"

#include <QDateTime>

#include <gtest/gtest.h>

TEST(BoolToColorTransformerTest, FalseValuesGreyOut)
{
    QPalette palette;
    palette.setColor(QPalette::Active, QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, Qt::gray);
    struct Case
    {
        QVariant value;
        QColor color;
    };
    const Case cases[] = {
        {QVariant(), Qt::black},
        {1, Qt::black},
        {QStringLiteral("YES"), Qt::black},
        {QStringLiteral("  +007"), Qt::black},
        {QVariant::fromValue(lq::Date(0.0)), Qt::black},
        {QDateTime::currentDateTime(), Qt::black},
        {0, Qt::gray},
        {0.0, Qt::gray},
        {false, Qt::gray},
        {QStringLiteral("NO"), Qt::gray},
        {QStringLiteral("-000"), Qt::gray},
        {QStringLiteral(""), Qt::gray},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(BoolToColorTransformer::transformedValue(c.value, palette), c.color)
            << qPrintable(c.value.toString());
    }
    static_assert(!BoolToColorTransformer::allowsReverseTransformation());
}
