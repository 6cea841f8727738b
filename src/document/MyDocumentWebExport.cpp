#include "document/MyDocument.h"
#include "platform/foundation/Error.h"

#include <QCoreApplication>

bool MyDocument::exportToHTML(const QString &, const QVariantMap &, lq::Error *error)
{
    lq::setError(error, lq::Error(QStringLiteral("exporting"), 0,
                                  QCoreApplication::translate(
                                      "MyDocument", "Sharing for the web is not built yet.")));
    return false;
}
