#pragma once

class QAction;

// Decides whether a menu item or other user-interface item is enabled.
class LQUserInterfaceValidator
{
public:
    virtual ~LQUserInterfaceValidator() = default;
    virtual bool validateUserInterfaceItem(const QAction *item) = 0;
};
