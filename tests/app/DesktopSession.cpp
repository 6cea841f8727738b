#include "DesktopSession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QStandardPaths>
#include <QtEndian>

#include <algorithm>

namespace lq::test {
namespace {

using namespace std::chrono_literals;

// Starts openbox, says where the display is once it runs, then becomes the program.
const char kScript[] = R"(ready="$1"
shift
openbox --startup "touch $ready.wm" >/dev/null 2>&1 &
tries=0
while [ ! -e "$ready.wm" ] && [ "$tries" -lt 600 ]; do sleep 0.1; tries=$((tries + 1)); done
printf '%s\n%s\n' "$DISPLAY" "$XAUTHORITY" > "$ready.part" && mv "$ready.part" "$ready"
exec "$@"
)";

constexpr int kWhiteRun = 40;

// The screen as Xvfb keeps it in its file: an XWD header, then the rows of pixels.
struct Screen
{
    QByteArray data;
    qsizetype offset = 0;
    int bytesPerLine = 0;
    int bytesPerPixel = 0;
    int width = 0;
    int height = 0;

    bool holds(const QRect &area) const
    {
        return bytesPerPixel >= 3 && QRect(0, 0, width, height).contains(area) &&
               offset + qsizetype(area.bottom() + 1) * bytesPerLine <= data.size();
    }
    const char *pixel(int x, int y) const
    {
        return data.constData() + offset + qsizetype(y) * bytesPerLine + x * bytesPerPixel;
    }
    bool isWhite(int x, int y) const
    {
        const auto *p = reinterpret_cast<const uchar *>(pixel(x, y));
        return p[0] == 0xff && p[1] == 0xff && p[2] == 0xff;
    }
};

std::optional<Screen> readScreen(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    Screen screen;
    screen.data = file.readAll();
    if (screen.data.size() < 100)
        return std::nullopt;
    const auto field = [&](int index) {
        return qFromBigEndian<quint32>(screen.data.constData() + 4 * index);
    };
    const quint32 headerSize = field(0);
    const quint32 colours = field(19);
    if (headerSize > 4096 || colours > 65536)
        return std::nullopt;
    screen.offset = qsizetype(headerSize) + qsizetype(colours) * 12;
    screen.bytesPerPixel = int(field(11) / 8);
    screen.bytesPerLine = int(field(12));
    screen.width = int(field(4));
    screen.height = int(field(5));
    return screen;
}

} // namespace

QString DesktopSession::missingTool()
{
    for (const char *tool : {"xvfb-run", "openbox", "xdotool"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            return QLatin1String(tool);
    }
    return QString();
}

DesktopSession::DesktopSession(const QProcessEnvironment &environment, QSize screen)
    : m_folder(QDir::tempPath() + QStringLiteral("/lumaquill-desktop-XXXXXX"))
    , m_environment(environment)
    , m_screen(screen)
{
    m_run.setProcessChannelMode(QProcess::MergedChannels);
}

DesktopSession::~DesktopSession()
{
    if (m_run.state() == QProcess::NotRunning)
        return;
    // The program and the X server are xvfb-run's children.
    QProcess::execute(QStringLiteral("pkill"), {QStringLiteral("-KILL"), QStringLiteral("-P"),
                                                QString::number(m_run.processId())});
    m_run.kill();
    m_run.waitForFinished();
}

bool DesktopSession::start(const QString &program)
{
    const QString script = QDir(m_folder.path()).filePath(QStringLiteral("desktop.sh"));
    const QString ready = QDir(m_folder.path()).filePath(QStringLiteral("display"));
    QFile file(script);
    if (!file.open(QIODevice::WriteOnly) || file.write(kScript) < 0)
        return false;
    file.close();
    m_run.setProcessEnvironment(m_environment);
    QElapsedTimer clock;
    clock.start();
    // Servers started at the same moment may pick the same display: the one that lost it ends
    // at once and tries again.
    while (!QFileInfo::exists(ready)) {
        if (clock.elapsed() > 60000)
            return false;
        if (m_run.state() == QProcess::NotRunning) {
            m_output += m_run.readAll();
            m_run.start(QStringLiteral("xvfb-run"), {QStringLiteral("-a"), QStringLiteral("-s"),
                                                     QStringLiteral("-screen 0 %1x%2x24 -fbdir %3")
                                                         .arg(m_screen.width())
                                                         .arg(m_screen.height())
                                                         .arg(m_folder.path()),
                                                     QStringLiteral("sh"), script, ready, program});
        }
        m_run.waitForReadyRead(100);
    }
    QFile where(ready);
    if (!where.open(QIODevice::ReadOnly))
        return false;
    const QStringList lines = QString::fromLocal8Bit(where.readAll()).split(QLatin1Char('\n'));
    m_display = m_environment;
    m_display.insert(QStringLiteral("DISPLAY"), lines.value(0));
    m_display.insert(QStringLiteral("XAUTHORITY"), lines.value(1));
    // The pointer rests in a corner, where it shows no tool tips.
    return xdotool({QStringLiteral("mousemove"), QString::number(m_screen.width() - 1),
                    QString::number(m_screen.height() - 1)})
        .has_value();
}

QByteArray DesktopSession::output()
{
    m_output += m_run.readAll();
    return m_output;
}

std::optional<QString> DesktopSession::xdotool(const QStringList &arguments)
{
    QProcess tool;
    tool.setProcessEnvironment(m_display);
    tool.start(QStringLiteral("xdotool"), arguments);
    if (!tool.waitForFinished(30000) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0)
        return std::nullopt;
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
}

QStringList DesktopSession::waitForWindows(const QString &name, int count,
                                           std::chrono::seconds limit)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < std::chrono::milliseconds(limit).count()) {
        const std::optional<QString> found =
            xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                     QStringLiteral("--name"), name});
        QStringList windows =
            found ? found->split(QLatin1Char('\n'), Qt::SkipEmptyParts) : QStringList();
        if (windows.size() >= count) {
            // One program's windows are numbered in the order they were made.
            std::sort(windows.begin(), windows.end(), [](const QString &a, const QString &b) {
                return a.toULongLong() < b.toULongLong();
            });
            return windows;
        }
        m_run.waitForReadyRead(100);
    }
    return {};
}

bool DesktopSession::waitUntilActive(const QString &window, std::chrono::seconds limit)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < std::chrono::milliseconds(limit).count()) {
        if (xdotool({QStringLiteral("getactivewindow")}) == window)
            return true;
        m_run.waitForReadyRead(100);
    }
    return false;
}

std::optional<QRect> DesktopSession::geometry(const QString &window)
{
    const std::optional<QString> shell =
        xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    if (!shell)
        return std::nullopt;
    QMap<QString, int> values;
    for (const QString &line : shell->split(QLatin1Char('\n'))) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0)
            values.insert(line.left(equals), line.mid(equals + 1).toInt());
    }
    return QRect(values.value(QStringLiteral("X")), values.value(QStringLiteral("Y")),
                 values.value(QStringLiteral("WIDTH")), values.value(QStringLiteral("HEIGHT")));
}

QByteArray DesktopSession::pixels(const QRect &area) const
{
    const std::optional<Screen> screen =
        readScreen(QDir(m_folder.path()).filePath(QStringLiteral("Xvfb_screen0")));
    if (!screen || !screen->holds(area))
        return QByteArray();
    QByteArray shown;
    for (int y = area.top(); y <= area.bottom(); ++y)
        shown.append(screen->pixel(area.left(), y),
                     qsizetype(area.width()) * screen->bytesPerPixel);
    return shown;
}

std::optional<int> DesktopSession::firstWhiteRun(const QRect &window, int x) const
{
    const std::optional<Screen> screen =
        readScreen(QDir(m_folder.path()).filePath(QStringLiteral("Xvfb_screen0")));
    if (!screen || !screen->holds(window))
        return std::nullopt;
    int run = 0;
    for (int y = window.top(); y <= window.bottom(); ++y) {
        run = screen->isWhite(x, y) ? run + 1 : 0;
        if (run == kWhiteRun)
            return y - kWhiteRun + 1;
    }
    return std::nullopt;
}

std::optional<double> DesktopSession::changingFor(const QRect &area,
                                                  std::chrono::milliseconds still,
                                                  std::chrono::seconds limit)
{
    QElapsedTimer clock;
    clock.start();
    QByteArray shown = pixels(area);
    qint64 changed = 0;
    while (clock.elapsed() < std::chrono::milliseconds(limit).count()) {
        m_run.waitForReadyRead(50);
        const QByteArray now = pixels(area);
        if (now != shown) {
            shown = now;
            changed = clock.elapsed();
        } else if (clock.elapsed() - changed >= still.count()) {
            return double(changed) / 1000.0;
        }
    }
    return std::nullopt;
}

std::optional<int> DesktopSession::quitWith(const QString &keys, std::chrono::seconds limit)
{
    xdotool({QStringLiteral("key"), keys});
    return waitForExit(limit);
}

std::optional<int> DesktopSession::waitForExit(std::chrono::seconds limit)
{
    if (!m_run.waitForFinished(int(std::chrono::milliseconds(limit).count())))
        return std::nullopt;
    m_output += m_run.readAll();
    if (m_run.exitStatus() != QProcess::NormalExit)
        return std::nullopt;
    return m_run.exitCode();
}

} // namespace lq::test
