#include "platform/ui/QtAlertPresenter.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <memory>

namespace lq {
namespace {

// A message box for a request, with its buttons in the request's order (the box itself lists
// them by role).
struct AlertBox
{
    std::unique_ptr<QMessageBox> box;
    QList<QAbstractButton *> buttons;
};

AlertResponse responseOf(const QMessageBox &box, const QList<QAbstractButton *> &buttons)
{
    AlertResponse response;
    response.buttonIndex = int(std::max<qsizetype>(0, buttons.indexOf(box.clickedButton())));
    response.suppressed = box.checkBox() && box.checkBox()->isChecked();
    return response;
}

QMessageBox::Icon iconOf(AlertRequest::Style style)
{
    switch (style) {
    case AlertRequest::Style::Informational:
        return QMessageBox::Information;
    case AlertRequest::Style::Critical:
        return QMessageBox::Critical;
    case AlertRequest::Style::Warning:
        break;
    }
    return QMessageBox::Warning;
}

AlertBox makeAlertBox(const AlertRequest &request, QWidget *parent)
{
    AlertBox alert{std::make_unique<QMessageBox>(parent), {}};
    QMessageBox &box = *alert.box;
    box.setIcon(iconOf(request.style));
    box.setText(request.messageText);
    box.setInformativeText(request.informativeText);
    for (qsizetype i = 0; i < request.buttons.size(); ++i) {
        const QString &title = request.buttons.at(i);
        // The first button is the default; the escape button, else a "Cancel" button, answers
        // Escape.
        const bool escapes = request.escapeButton >= 0 ? i == request.escapeButton
                                                       : title == QLatin1String("Cancel");
        const QMessageBox::ButtonRole role = i == 0    ? QMessageBox::AcceptRole
                                             : escapes ? QMessageBox::RejectRole
                                                       : QMessageBox::ActionRole;
        QPushButton *button = box.addButton(title, role);
        if (i == 0)
            box.setDefaultButton(button);
        alert.buttons.append(button);
    }
    if (request.showsSuppressionButton) {
        box.setCheckBox(new QCheckBox(request.suppressionTitle.isEmpty()
                                          ? QStringLiteral("Do not show this message again")
                                          : request.suppressionTitle));
    }
    return alert;
}

} // namespace

AlertResponse QtAlertPresenter::runModal(const AlertRequest &request)
{
    const AlertBox alert = makeAlertBox(request, nullptr);
    alert.box->exec();
    return responseOf(*alert.box, alert.buttons);
}

void QtAlertPresenter::beginSheet(const AlertRequest &request, QWidget *window,
                                  std::function<void(const AlertResponse &)> done)
{
    AlertBox alert = makeAlertBox(request, window);
    QMessageBox *box = alert.box.release();
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    QObject::connect(box, &QMessageBox::finished, box,
                     [box, buttons = std::move(alert.buttons), done = std::move(done)] {
                         done(responseOf(*box, buttons));
                     });
    box->open();
}

} // namespace lq
