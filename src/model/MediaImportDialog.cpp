#include "model/MediaImportDialog.h"

#include "platform/foundation/ReplaceableService.h"

namespace {

class NoImportDialogs final : public MediaImportDialogFactory
{
public:
    std::unique_ptr<MediaImportDialog> makeImportDialog(WrenRecording &) override
    {
        return nullptr;
    }
};

lq::ReplaceableService<MediaImportDialogFactory> installedFactory;

} // namespace

MediaImportDialogFactory &MediaImportDialogFactory::current()
{
    static NoImportDialogs none;
    return installedFactory.current(none);
}

MediaImportDialogFactory *MediaImportDialogFactory::setCurrent(MediaImportDialogFactory *factory)
{
    return installedFactory.install(factory);
}
