// The text view's panels.
#include "document/WrenTextView.h"
#include "platform/text/TextStorage.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

void WrenTextView::orderFrontLinkPanel()
{
    const lq::TextRange range = selectedRange();
    if (range.length <= 0 || isReadOnly())
        return;
    QDialog panel(window());
    panel.setWindowTitle(tr("Link"));
    auto *address = new QLineEdit(m_storage.attributesAt(range.location).link.value_or(QString()));
    address->setObjectName(QStringLiteral("linkAddress"));
    address->setMinimumWidth(320);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, &panel, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &panel, &QDialog::reject);
    auto *form = new QFormLayout(&panel);
    form->addRow(tr("Link address:"), address);
    form->addRow(buttons);
    if (panel.exec() != QDialog::Accepted)
        return;
    const QString link = address->text().trimmed();
    if (link.isEmpty()) {
        applyAttributeRemoval(range, lq::TextAttributes::Link);
        return;
    }
    lq::TextAttributes attributes;
    attributes.link = link;
    applyAttributeEdit(range, attributes);
}
