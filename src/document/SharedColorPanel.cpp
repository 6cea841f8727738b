#include "document/SharedColorPanel.h"

#include "document/WrenTextView.h"

#include <QApplication>
#include <QColorDialog>
#include <QPointer>

QColorDialog *SharedColorPanel::panel()
{
    static QPointer<QColorDialog> panel;
    if (!panel) {
        panel = new QColorDialog();
        panel->setAttribute(Qt::WA_DeleteOnClose, false);
        panel->setOption(QColorDialog::NoButtons);
        panel->setOption(QColorDialog::DontUseNativeDialog);
        panel->setModal(false);
        QObject::connect(panel, &QColorDialog::currentColorChanged, panel, [](const QColor &color) {
            if (auto *view = qobject_cast<WrenTextView *>(QApplication::focusWidget()))
                view->changeColor(color);
        });
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, panel, [] { delete panel; });
    }
    return panel;
}
