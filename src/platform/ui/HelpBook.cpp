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
    const qsizetype anchorAt = page.indexOf(QLatin1Char('#'));
    const QString file = page.left(anchorAt);
    const QString path = Bundle::resourcePath(QStringLiteral("help/") + file);
    QUrl url = QUrl::fromLocalFile(path);
    if (anchorAt >= 0)
        url.setFragment(page.mid(anchorAt + 1));
    if (!path.isEmpty() && QDesktopServices::openUrl(url))
        return;
    AlertRequest alert;
    alert.messageText =
        QCoreApplication::translate("HelpBook", "The help page could not be shown.");
    alert.informativeText =
        path.isEmpty()
            ? QCoreApplication::translate("HelpBook", "The page \"%1\" is not installed.").arg(file)
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
