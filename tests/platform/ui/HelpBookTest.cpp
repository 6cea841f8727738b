#include "platform/ui/HelpBook.h"

#include "platform/foundation/Bundle.h"
#include "support/ScriptedAlertPresenter.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

TEST(HelpBookTest, AMissingPageIsToldInAnAlert)
{
    QTemporaryDir resources;
    const QByteArray saved = qgetenv("LUMAQUILL_RESOURCES");
    qputenv("LUMAQUILL_RESOURCES", resources.path().toUtf8());
    lq::test::ScriptedAlertPresenter alerts;
    lq::HelpBook::current().openPage(u"recordingslides.html"_s);
    qputenv("LUMAQUILL_RESOURCES", saved);
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_EQ(alerts.last().request.messageText, u"The help page could not be shown."_s);
    EXPECT_EQ(alerts.last().request.informativeText,
              u"The page \"recordingslides.html\" is not installed."_s);
}

TEST(HelpBookTest, TheSlidesPageIsAmongTheResources)
{
    EXPECT_FALSE(lq::Bundle::resourcePath(u"help/recordingslides.html"_s).isEmpty());
}

} // namespace
