#include "shared/ExportDialog.h"

#include <QComboBox>
#include <QLabel>

#include <algorithm>

namespace {

constexpr int kAccessoryWidth = 200;
constexpr int kRowHeight = 26;
constexpr int kPopUpX = 100;
constexpr int kPopUpWidth = 100;
constexpr int kMinimumLabelWidth = 100;

QStringList extensionOf(const QList<ExportFormat> &formats, int index)
{
    if (index < 0 || index >= formats.size())
        return {};
    return {formats.at(index).extension};
}

std::unique_ptr<QWidget> makeAccessory(const QList<ExportFormat> &formats, QComboBox **popUp)
{
    auto accessory = std::make_unique<QWidget>();

    auto *label = new QLabel(QStringLiteral("File format:"), accessory.get());
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const QSize labelSize = label->sizeHint();
    label->setGeometry(0, (kRowHeight - labelSize.height()) / 2,
                       std::max(kMinimumLabelWidth, labelSize.width()), labelSize.height());

    *popUp = new QComboBox(accessory.get());
    for (const ExportFormat &format : formats)
        (*popUp)->addItem(format.name);
    // Wide enough for its longest title.
    const int popUpWidth = std::max(kPopUpWidth, (*popUp)->sizeHint().width());
    (*popUp)->setGeometry(kPopUpX, 0, popUpWidth, kRowHeight);
    accessory->setFixedSize(std::max(kAccessoryWidth, kPopUpX + popUpWidth), kRowHeight);
    return accessory;
}

} // namespace

ExportDialog createExportDialog(const QString &title, const QList<ExportFormat> &formats)
{
    ExportDialog dialog;
    dialog.panel = std::make_unique<lq::FilePanel>(lq::FilePanel::Kind::Save);
    lq::FilePanel &panel = *dialog.panel;
    panel.setTitle(title);
    panel.setPrompt(QStringLiteral("Export"));
    panel.setNameFieldLabel(QStringLiteral("Export As:"));
    panel.setCanCreateFolders(true);
    panel.setAccessoryView(makeAccessory(formats, &dialog.formatPopUp));
    panel.setAllowedExtensions(extensionOf(formats, dialog.formatPopUp->currentIndex()));
    QObject::connect(
        dialog.formatPopUp, &QComboBox::currentIndexChanged, &panel,
        [&panel, formats](int index) { panel.setAllowedExtensions(extensionOf(formats, index)); });
    return dialog;
}
