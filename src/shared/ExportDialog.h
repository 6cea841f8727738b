#pragma once

#include "platform/ui/FilePanel.h"

#include <QList>
#include <QString>

#include <memory>

class QComboBox;

// One entry of an export dialog's format pop-up.
struct ExportFormat
{
    QString name;      // shown in the pop-up, e.g. "QuickTime Movie"
    QString extension; // without the dot, e.g. "mov"
};

// The save panel of an export and its "File format:" pop-up (part of the panel's accessory view).
struct ExportDialog
{
    std::unique_ptr<lq::FilePanel> panel;
    QComboBox *formatPopUp = nullptr;
};

// A save panel titled title that exports in one of formats: the pop-up lists them in order,
// the first selected, and the panel allows only the selected format's extension, following the
// pop-up. With no formats any file name is allowed. Main thread only.
ExportDialog createExportDialog(const QString &title, const QList<ExportFormat> &formats);
