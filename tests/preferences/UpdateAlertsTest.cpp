#include "preferences/UpdateAlerts.h"

#include "platform/update/Updater.h"
#include "support/FakeUpdater.h"
#include "support/ScriptedAlertPresenter.h"

#include <gtest/gtest.h>

namespace {

using lq::UpdateCheckResult;
using Status = lq::UpdateCheckResult::Status;

TEST(UpdateAlertsTest, NewerVersionsAreAlwaysToldOtherResultsOnlyWhenAskedFor)
{
    struct Case
    {
        Status status;
        bool userInitiated;
        const char *message; // null: nothing is shown
    };
    const Case cases[] = {
        {Status::NewerVersionAvailable, false, "A new version of Luma Quill is available."},
        {Status::NewerVersionAvailable, true, "A new version of Luma Quill is available."},
        {Status::UpToDate, false, nullptr},
        {Status::UpToDate, true, "You're up to date!"},
        {Status::Failed, false, nullptr},
        {Status::Failed, true, "Update Error!"},
    };
    for (const Case &c : cases) {
        lq::test::FakeUpdater updater;
        lq::test::ScriptedAlertPresenter alerts;
        UpdateAlerts updateAlerts(updater);
        UpdateCheckResult result;
        result.status = c.status;
        result.userInitiated = c.userInitiated;
        result.currentVersion = QStringLiteral("3.1");
        result.newestVersion = QStringLiteral("3.2");
        result.downloadURL = QUrl(QStringLiteral("https://example.invalid/get"));
        result.failureReason = QStringLiteral("The feed could not be read.");
        Q_EMIT updater.checkFinished(result);

        SCOPED_TRACE(c.message ? c.message : "nothing");
        if (!c.message) {
            EXPECT_EQ(alerts.count(), 0);
            continue;
        }
        ASSERT_EQ(alerts.count(), 1);
        const lq::AlertRequest request = alerts.last().request;
        EXPECT_EQ(request.messageText, QString::fromUtf8(c.message));
        if (c.status == Status::NewerVersionAvailable) {
            EXPECT_TRUE(request.informativeText.contains(u"3.2") &&
                        request.informativeText.contains(u"https://example.invalid/get"));
        }
        if (c.status == Status::Failed) {
            EXPECT_TRUE(request.informativeText.contains(result.failureReason));
        }
    }
}

} // namespace
