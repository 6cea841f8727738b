#include "platform/ui/Beeper.h"

#include "platform/foundation/ReplaceableService.h"

#include <QApplication>

namespace lq {

namespace {
ReplaceableService<Beeper> installed;
} // namespace

void Beeper::beep()
{
    QApplication::beep();
}

Beeper &Beeper::current()
{
    static Beeper fallback;
    return installed.current(fallback);
}

Beeper *Beeper::setCurrent(Beeper *beeper)
{
    return installed.install(beeper);
}

} // namespace lq
