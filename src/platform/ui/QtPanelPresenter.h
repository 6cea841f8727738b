#pragma once

#include "platform/ui/PanelPresenter.h"

namespace lq {

// Panels as Qt's own (not the desktop's) file dialogs, so that they can hold an accessory view.
class QtPanelPresenter : public PanelPresenter
{
protected:
    std::optional<QString> choosePath(FilePanel &panel) override;
};

} // namespace lq
