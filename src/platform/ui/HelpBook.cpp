#include "platform/ui/HelpBook.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/ReplaceableService.h"
#include "platform/ui/AlertPresenter.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>

namespace lq {

namespace {
ReplaceableService<HelpBook> installed;
} // namespace

void HelpBook::openPage(const QString &page)
{
    const QString path = Bundle::resourcePath(QStringLiteral("help/") + page);
    if (!path.isEmpty() && QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        return;
    AlertRequest alert;
    alert.messageText =
        QCoreApplication::translate("HelpBook", "The help page could not be shown.");
    alert.informativeText =
        path.isEmpty()
            ? QCoreApplication::translate("HelpBook", "The page \"%1\" is not installed.").arg(page)
            : QCoreApplication::translate("HelpBook", "No program is set up to show web pages.");
    AlertPresenter::current().runModal(alert);
}

HelpBook &HelpBook::current()
{
    static HelpBook fallback;
    return installed.current(fallback);
}

HelpBook *HelpBook::setCurrent(HelpBook *book)
{
    return installed.install(book);
}

} // namespace lq
