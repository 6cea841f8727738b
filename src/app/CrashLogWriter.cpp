#include "app/CrashLogWriter.h"

#include "platform/foundation/Bundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QtGlobal>

#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <ctime>
#include <exception>
#include <string>

namespace crash_log {
namespace {

// A fixed buffer filled without allocating, as a signal handler may.
template <size_t Capacity>
struct FixedText
{
    char data[Capacity];
    size_t length = 0;

    void append(const char *text, size_t count)
    {
        const size_t room = Capacity - 1 - length;
        const size_t taken = count < room ? count : room;
        std::memcpy(data + length, text, taken);
        length += taken;
        data[length] = '\0';
    }
    void append(const char *text) { append(text, std::strlen(text)); }
    void appendNumber(long long value, int width = 0)
    {
        char digits[24];
        int count = 0;
        const bool negative = value < 0;
        unsigned long long rest = negative ? 0ULL - static_cast<unsigned long long>(value)
                                           : static_cast<unsigned long long>(value);
        do {
            digits[count++] = static_cast<char>('0' + rest % 10);
            rest /= 10;
        } while (rest != 0 && count < 23);
        while (count < width && count < 23)
            digits[count++] = '0';
        if (negative)
            append("-", 1);
        while (count > 0)
            append(&digits[--count], 1);
    }
};

FixedText<4096> g_pathPrefix; // "<folder>/<program>_"
FixedText<512> g_pathSuffix;  // "_<host>.crash"
FixedText<8192> g_header;     // the lines known at start-up
FixedText<2048> g_reason;     // why, when not a plain signal
using LineText = FixedText<4096 + 512 + 32>;
volatile sig_atomic_t g_writing = 0;
QtMessageHandler g_previousMessageHandler = nullptr;

constexpr char kSeparator[] = "\n\n**********\n\n";

const char *signalName(int signal)
{
    switch (signal) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGILL:
        return "SIGILL";
    case SIGFPE:
        return "SIGFPE";
    case SIGABRT:
        return "SIGABRT";
    default:
        return "signal";
    }
}

// "YYYY-MM-DD-HHMMSS" in UTC, by arithmetic only (gmtime is not safe in a handler).
void appendUtcStamp(LineText &out, time_t seconds, bool forFileName)
{
    const long long days = seconds / 86400;
    const long long secondOfDay = seconds % 86400;
    // Civil date from days since 1970-01-01 (proleptic Gregorian).
    const long long z = days + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long dayOfEra = z - era * 146097;
    const long long yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthIndex = (5 * dayOfYear + 2) / 153;
    const long long day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const long long month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    out.appendNumber(year, 4);
    out.append("-");
    out.appendNumber(month, 2);
    out.append("-");
    out.appendNumber(day, 2);
    out.append(forFileName ? "-" : " ");
    out.appendNumber(secondOfDay / 3600, 2);
    out.append(forFileName ? "" : ":");
    out.appendNumber(secondOfDay / 60 % 60, 2);
    out.append(forFileName ? "" : ":");
    out.appendNumber(secondOfDay % 60, 2);
}

void writeAll(int fd, const char *data, size_t length)
{
    while (length > 0) {
        const ssize_t written = ::write(fd, data, length);
        if (written <= 0)
            return;
        data += written;
        length -= static_cast<size_t>(written);
    }
}

void writeLog(int signal)
{
    struct timespec now = {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    LineText path;
    path.append(g_pathPrefix.data, g_pathPrefix.length);
    appendUtcStamp(path, now.tv_sec, true);
    path.append(g_pathSuffix.data, g_pathSuffix.length);
    const int fd = ::open(path.data, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    // A second crash within the same second joins the log as the crash after the star line.
    if (::lseek(fd, 0, SEEK_END) > 0)
        writeAll(fd, kSeparator, sizeof kSeparator - 1);
    LineText lines;
    lines.append("Date/Time:   ");
    appendUtcStamp(lines, now.tv_sec, false);
    lines.append(" UTC\nCrashed with: ");
    lines.append(signalName(signal));
    lines.append(" (");
    lines.appendNumber(signal);
    lines.append(")\n");
    writeAll(fd, g_header.data, g_header.length);
    writeAll(fd, lines.data, lines.length);
    if (g_reason.length > 0) {
        writeAll(fd, "Reason:      ", 13);
        writeAll(fd, g_reason.data, g_reason.length);
        writeAll(fd, "\n", 1);
    }
    writeAll(fd, "\nBacktrace:\n", 12);
    void *frames[128];
    const int count = ::backtrace(frames, 128);
    ::backtrace_symbols_fd(frames, count, fd);
    ::close(fd);
}

void onFatalSignal(int signal)
{
    // A crash inside the writing itself ends with the default action alone.
    if (g_writing == 0) {
        g_writing = 1;
        writeLog(signal);
    }
    // The handler was reset on entry (SA_RESETHAND): raised again, the signal ends the process
    // with its default action.
    ::raise(signal);
}

void setReason(const char *prefix, const char *text)
{
    g_reason.length = 0;
    g_reason.append(prefix);
    g_reason.append(text);
}

void onTerminate()
{
    std::string what = "unknown";
    if (const std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::exception &exception) {
            what = exception.what();
        } catch (...) {
            what = "not a standard exception";
        }
        setReason("uncaught exception: ", what.c_str());
    } else {
        setReason("std::terminate called", "");
    }
    std::abort();
}

void onQtMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtFatalMsg)
        setReason("fatal message: ", message.toUtf8().constData());
    if (g_previousMessageHandler)
        g_previousMessageHandler(type, context, message);
}

QByteArray hostName()
{
    const QByteArray host = QSysInfo::machineHostName().toUtf8();
    return host.isEmpty() ? QByteArrayLiteral("localhost") : host;
}

void prepareHeader()
{
    const QByteArray program = programName().toUtf8();
    g_header.length = 0;
    g_header.append("Process:     ");
    g_header.append(program.constData());
    g_header.append(" [");
    g_header.appendNumber(::getpid());
    g_header.append("]\nPath:        ");
    g_header.append(QFile::encodeName(QCoreApplication::applicationFilePath()).constData());
    g_header.append("\nVersion:     ");
    g_header.append(lq::Bundle::shortVersion().toUtf8().constData());
    g_header.append(" (");
    g_header.append(lq::Bundle::buildRevision().toUtf8().constData());
    g_header.append(")\nHost:        ");
    g_header.append(hostName().constData());
    g_header.append("\nOS Version:  ");
    g_header.append(QSysInfo::prettyProductName().toUtf8().constData());
    g_header.append(" (");
    g_header.append(QSysInfo::kernelVersion().toUtf8().constData());
    g_header.append(")\n");
}

} // namespace

QString folder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::home().filePath(QStringLiteral(".local/state"));
    return QDir(state).filePath(QStringLiteral("Luma Quill/CrashReporter"));
}

QString programName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
}

bool install(const QString &where)
{
    if (!QDir().mkpath(where))
        return false;
    g_pathPrefix.length = 0;
    g_pathPrefix.append(QFile::encodeName(QDir(where).absolutePath()).constData());
    g_pathPrefix.append("/");
    g_pathPrefix.append(programName().toUtf8().constData());
    g_pathPrefix.append("_");
    g_pathSuffix.length = 0;
    g_pathSuffix.append("_");
    g_pathSuffix.append(hostName().constData());
    g_pathSuffix.append(".crash");
    prepareHeader();

    // The first stack walk loads what it needs; in the handler it must not.
    void *frames[4];
    ::backtrace(frames, 4);

    struct sigaction action = {};
    action.sa_handler = &onFatalSignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT}) {
        const bool faultSignal = signal == SIGSEGV || signal == SIGBUS || signal == SIGFPE;
        if (!(faultSignal && sanitizerOwnsFaultSignals()))
            ::sigaction(signal, &action, nullptr);
    }
    std::set_terminate(&onTerminate);
    g_previousMessageHandler = qInstallMessageHandler(&onQtMessage);
    return true;
}

} // namespace crash_log
