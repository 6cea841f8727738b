#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <optional>

namespace lq::test {

// The program on a desktop of its own, as a user meets it: an X server (Xvfb, its screen kept in
// a file), the openbox window manager, and the program started on it. The test types and
// presses keys through xdotool and watches the screen. Main thread only.
class DesktopSession
{
public:
    // Nothing starts without xvfb-run, openbox and xdotool.
    static QString missingTool();

    explicit DesktopSession(const QProcessEnvironment &environment,
                            QSize screen = QSize(1280, 1000));
    ~DesktopSession();
    DesktopSession(const DesktopSession &) = delete;
    DesktopSession &operator=(const DesktopSession &) = delete;

    // Starts the program once the window manager runs; false (with the output so far in
    // output()) when the desktop did not come up within the time limit.
    bool start(const QString &program);
    // What the program and the desktop wrote.
    QByteArray output();

    // xdotool with the arguments; its output, or nullopt when it failed.
    std::optional<QString> xdotool(const QStringList &arguments);
    // Visible windows whose title contains name, oldest first, once there are at least count
    // (empty after the time limit).
    QStringList waitForWindows(const QString &name, int count, std::chrono::seconds limit);
    // Waits until window has the keyboard.
    bool waitUntilActive(const QString &window, std::chrono::seconds limit);
    // The window's area on the screen, without its decoration.
    std::optional<QRect> geometry(const QString &window);

    // The bytes of a screen area as shown now; empty when the screen cannot be read.
    QByteArray pixels(const QRect &area) const;
    // The first row below top (inside the window) from which the column x is plain white for
    // 40 rows: where the notes begin.
    std::optional<int> firstWhiteRun(const QRect &window, int x) const;
    // Waits until area stood still for still (at most limit) and answers how long it kept
    // changing after the call; nullopt when it never stood still.
    std::optional<double> changingFor(const QRect &area, std::chrono::milliseconds still,
                                      std::chrono::seconds limit);

    // Waits for the program to end; its exit status, or nullopt after the time limit.
    std::optional<int> waitForExit(std::chrono::seconds limit);
    // Presses the keys that quit the program and waits for its end; its exit status. The program
    // may quit, and its display close, before the keys' release is sent: only its end tells.
    std::optional<int> quitWith(const QString &keys, std::chrono::seconds limit);

private:
    // The script, the display's address and the screen; its path has no spaces, which the
    // shell and xvfb-run would split.
    QTemporaryDir m_folder;
    QProcessEnvironment m_environment;
    QSize m_screen;
    QProcess m_run;
    QProcessEnvironment m_display;
    QByteArray m_output;
};

} // namespace lq::test
