#pragma once

#include "model/MediaImportDialog.h"

// Makes the import dialog (ImportMediaController) of a recording; the program installs one.
class ImportMediaDialogs final : public MediaImportDialogFactory
{
public:
    std::unique_ptr<MediaImportDialog> makeImportDialog(WrenRecording &owner) override;
};
