#include "platform/update/UpdateFeeds.h"

namespace lq::UpdateFeeds {

namespace {

const QString kServer = QStringLiteral("https://lumaquill.org");

} // namespace

QUrl release()
{
    return QUrl(kServer + QStringLiteral("/downloads/lumaquill/release-appcast.xml"));
}

QUrl beta()
{
    return QUrl(kServer + QStringLiteral("/downloads/lumaquill/beta-appcast.xml"));
}

} // namespace lq::UpdateFeeds
