#pragma once

#include <QString>

namespace lq {

// Opens pages of the program's help (HTML files in the "help" folder of its resources) in the
// desktop's browser; tests install one that records the pages asked for. Main thread.
class HelpBook
{
public:
    virtual ~HelpBook() = default;
    // page may end in "#anchor". An alert tells the user when the page is missing or cannot be
    // shown.
    virtual void openPage(const QString &page);

    static HelpBook &current();
    // Installs book (nullptr restores the default); answers the one installed before.
    static HelpBook *setCurrent(HelpBook *book);
};

} // namespace lq
