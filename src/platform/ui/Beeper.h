#pragma once

namespace lq {

// Sounds the system's alert beep; tests install one that counts. Main thread.
class Beeper
{
public:
    virtual ~Beeper() = default;
    virtual void beep();

    static Beeper &current();
    // Installs beeper (nullptr restores the default); answers the one installed before.
    static Beeper *setCurrent(Beeper *beeper);
};

inline void beep()
{
    Beeper::current().beep();
}

} // namespace lq
