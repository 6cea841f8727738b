#include "document/ImportMediaDialogs.h"

#include "document/ImportMediaController.h"
#include "document/ImportTarget.h"

std::unique_ptr<MediaImportDialog> ImportMediaDialogs::makeImportDialog(WrenRecording &owner)
{
    return std::make_unique<ImportMediaController>(makeRecordingImportTarget(owner));
}
