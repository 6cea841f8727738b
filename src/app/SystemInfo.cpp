#include "app/SystemInfo.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <utility>

namespace system_info {
namespace {

QString firstLineOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // The device tree ends its strings with a NUL.
    return QString::fromUtf8(file.readLine(4096)).remove(QChar(0)).trimmed();
}

using Model = std::pair<const char *, const char *>;

// Model identifiers with their display names, in ascending order of the identifier.
constexpr std::array<Model, 61> kModels = {{
    {"AAPL", "Yikes! Old machine"},
    {"AAPL,3400/2400", "PowerBook 3400"},
    {"AAPL,3500", "PowerMac 3500"},
    {"AAPL,7200", "PowerMac 7200"},
    {"AAPL,7300", "PowerMac 7300"},
    {"AAPL,7500", "PowerMac 7500"},
    {"AAPL,8500", "PowerMac 8500"},
    {"AAPL,9500", "PowerMac 9500"},
    {"AAPL,Gossamer", "PowerMac G3 (Gossamer)"},
    {"AAPL,PowerBook1998", "PowerBook Wallstreet"},
    {"AAPL,PowerMac G3", "PowerMac G3"},
    {"AAPL,ShinerESB", "Network Server"},
    {"AAPL,e407", "Alchemy"},
    {"AAPL,e411", "Gazelle"},
    {"Macmini", "Mac Mini"},
    {"Macmini1,1", "Mac Mini"},
    {"PowerBook", "PowerBook or iBook"},
    {"PowerBook1,1", "PowerBook G3 (Lombard)"},
    {"PowerBook2,1", "iBook"},
    {"PowerBook2,2", "iBook (FireWire)"},
    {"PowerBook3,1", "PowerBook G3 (Pismo)"},
    {"PowerBook3,2", "PowerBook G4 (Titanium)"},
    {"PowerBook3,3", "PowerBook G4 (Titanium, Gigabit Ethernet)"},
    {"PowerBook3,4", "PowerBook G4 (Titanium, DVI)"},
    {"PowerBook3,5", "PowerBook G4 (Titanium, 1 GHz)"},
    {"PowerBook4,1", "iBook (dual USB)"},
    {"PowerBook4,2", "iBook (dual USB, late 2001)"},
    {"PowerBook4,3", "iBook (16 VRAM)"},
    {"PowerBook4,4", "iBook (Opaque)"},
    {"PowerBook5,1", "PowerBook G4 17\""},
    {"PowerBook5,2", "PowerBook G4 15\""},
    {"PowerBook5,3", "PowerBook G4 17\" (1.33 GHz)"},
    {"PowerBook6,1", "PowerBook G4 12\""},
    {"PowerBook6,2", "PowerBook G4 12\" (DVI)"},
    {"PowerBook6,3", "iBook G4"},
    {"PowerMac", "PowerMac"},
    {"PowerMac1,1", "PowerMac G3 (Blue and White)"},
    {"PowerMac1,2", "PowerMac G4 (PCI Graphics)"},
    {"PowerMac2,1", "iMac (FireWire, slot loading)"},
    {"PowerMac2,2", "iMac (FireWire, summer 2000)"},
    {"PowerMac3,1", "PowerMac G4 (AGP Graphics)"},
    {"PowerMac3,2", "PowerMac G4 (AGP Graphics)"},
    {"PowerMac3,3", "PowerMac G4 (Gigabit Ethernet)"},
    {"PowerMac3,4", "PowerMac G4 (Digital Audio)"},
    {"PowerMac3,5", "PowerMac G4 (Quick Silver)"},
    {"PowerMac3,6", "PowerMac G4 (Mirrored Drive Doors)"},
    {"PowerMac4,1", "iMac (2001)"},
    {"PowerMac4,2", "iMac (Flat Panel)"},
    {"PowerMac4,4", "eMac"},
    {"PowerMac4,5", "iMac (17\" Flat Panel)"},
    {"PowerMac5,1", "PowerMac G4 Cube"},
    {"PowerMac5,2", "PowerMac G4 Cube"},
    {"PowerMac6,1", "iMac (USB 2.0)"},
    {"PowerMac7,2", "PowerMac G5"},
    {"PowerMac7,3", "PowerMac G5"},
    {"RackMac", "XServe"},
    {"RackMac1,1", "XServe"},
    {"RackMac1,2", "XServe (Slot loading)"},
    {"RackMac3,1", "XServe G5"},
    {"iMac", "iMac"},
    {"iMac,1", "iMac"},
}};

} // namespace

QString machineModel()
{
    for (const char *path :
         {"/sys/devices/virtual/dmi/id/product_name", "/proc/device-tree/model"}) {
        const QString model = firstLineOf(QString::fromLatin1(path));
        if (!model.isEmpty())
            return model;
    }
    return QSysInfo::currentCpuArchitecture();
}

QString machineNameForModel(const QString &model)
{
    const Model *match = nullptr;
    for (const Model &entry : kModels) {
        const QString key = QString::fromLatin1(entry.first);
        if (!model.contains(key))
            continue;
        match = &entry;
        if (key.size() == model.size())
            break;
    }
    if (!match)
        return QStringLiteral("Unknown (%1)").arg(model);
    const QString display = QString::fromUtf8(match->second);
    if (!QString::fromLatin1(match->first).contains(QLatin1Char(',')))
        return QStringLiteral("%1 (%2)").arg(display, QString::fromLatin1(match->first));
    return display;
}

QString JXMachineName()
{
    static const QString name = machineNameForModel(machineModel());
    return name;
}

int JXCountCores()
{
    const long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
    return cores > 0 ? static_cast<int>(cores) : 1;
}

long JXClockSpeed()
{
    bool ok = false;
    const long kilohertz =
        firstLineOf(QStringLiteral("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq"))
            .toLong(&ok);
    if (ok && kilohertz > 0)
        return kilohertz / 1000;
    QFile cpuinfo(QStringLiteral("/proc/cpuinfo"));
    if (!cpuinfo.open(QIODevice::ReadOnly))
        return 0;
    static const QRegularExpression line(QStringLiteral("^cpu MHz\\s*:\\s*([0-9.]+)"),
                                         QRegularExpression::MultilineOption);
    const QRegularExpressionMatch found = line.match(QString::fromUtf8(cpuinfo.readAll()));
    return found.hasMatch() ? std::lround(found.captured(1).toDouble()) : 0;
}

QString JXSystemVersionString()
{
    // Debian's point release ("12.5") says most; else the release's VERSION_ID; else the kernel.
    QString version = firstLineOf(QStringLiteral("/etc/debian_version"));
    if (!version.contains(QRegularExpression(QStringLiteral("^[0-9]"))))
        version = QSysInfo::productVersion();
    if (!version.contains(QRegularExpression(QStringLiteral("^[0-9]"))))
        version = QSysInfo::kernelVersion();
    const QStringList parts = version.split(QRegularExpression(QStringLiteral("[^0-9]+")));
    const auto part = [&parts](int index) { return parts.value(index).toLong(); };
    return QStringLiteral("%1.%2.%3").arg(part(0)).arg(part(1)).arg(part(2));
}

QString longUserName()
{
    const struct passwd *entry = ::getpwuid(::getuid());
    if (!entry || !entry->pw_gecos)
        return {};
    return QString::fromLocal8Bit(entry->pw_gecos).section(QLatin1Char(','), 0, 0);
}

} // namespace system_info
