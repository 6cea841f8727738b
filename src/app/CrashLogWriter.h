#pragma once

#include <QString>

// The program's own crash logs. When the process dies of a fatal signal (SIGSEGV, SIGBUS,
// SIGILL, SIGFPE, SIGABRT), an uncaught exception or a fatal Qt message, a log is written as
// "<program>_<YYYY-MM-DD-HHMMSS>_<host>.crash" (UTC) into the folder, and the signal's default
// action then ends the process as it would have without the handler (core dump, exit status).
// Everything the handler needs is prepared by install; the handler itself formats into fixed
// buffers and calls only open, write, close and the stack walk primed here.
namespace crash_log {

// Whether a sanitizer owns the fault signals (SIGSEGV, SIGBUS, SIGFPE): then they are left to
// it and only the others are handled.
constexpr bool sanitizerOwnsFaultSignals()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

// "$XDG_STATE_HOME/Luma Quill/CrashReporter" (XDG_STATE_HOME defaults to ~/.local/state).
QString folder();
// The program's name as the logs begin with it: the running executable's file name.
QString programName();

// Makes the folder and installs the handlers for this process; false when the folder cannot be
// made (nothing installed). Main thread, once, early at start-up.
bool install(const QString &folder);

} // namespace crash_log
