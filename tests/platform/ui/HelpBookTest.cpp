#include "platform/ui/HelpBook.h"

#include "platform/foundation/Bundle.h"
#include "support/ScriptedAlertPresenter.h"

#include <QFile>
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

TEST(HelpBookTest, ThePagesAndTheAnchorsLinkedToAreAmongTheResources)
{
    const std::pair<QString, QByteArray> pages[] = {{u"recordingslides.html"_s, {}},
                                                    {u"sharing.html"_s, "id=\"dropbox\""}};
    for (const auto &[page, anchor] : pages) {
        QFile file(lq::Bundle::resourcePath(u"help/"_s + page));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << page.toStdString();
        EXPECT_TRUE(file.readAll().contains(anchor)) << page.toStdString();
    }
}

} // namespace
