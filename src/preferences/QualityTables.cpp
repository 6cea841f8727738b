#include "preferences/QualityTables.h"

namespace lq {

QString QualityTable::nameForId(const QString &id) const
{
    for (const QString &name : names) {
        if (ids.value(name) == id)
            return name;
    }
    return names.value(0);
}

namespace QualityTables {
namespace {

const QStringList kLegacyAudioIds{QStringLiteral("QTCompressionOptionsVoiceQualityAACAudio"),
                                  QStringLiteral("QTCompressionOptionsHighQualityAACAudio"),
                                  QStringLiteral("QTCompressionOptionsLosslessALACAudio")};
const QStringList kModernAudioIds{QStringLiteral("32"), QStringLiteral("64"), QStringLiteral("128"),
                                  QStringLiteral("256"), QStringLiteral("lossless")};
const QStringList kLegacyVideoIds{QStringLiteral("QTCompressionOptions120SizeH264Video"),
                                  QStringLiteral("QTCompressionOptions240SizeH264Video"),
                                  QStringLiteral("QTCompressionOptionsSD480SizeH264Video")};
const QStringList kOldMpeg4VideoIds{QStringLiteral("QTCompressionOptions120SizeMPEG4Video"),
                                    QStringLiteral("QTCompressionOptions240SizeMPEG4Video"),
                                    QStringLiteral("QTCompressionOptionsSD480SizeMPEG4Video")};
const QStringList kModernVideoIds{QStringLiteral("low"), QStringLiteral("medium"),
                                  QStringLiteral("high")};

const QString kHDName = QStringLiteral("HD quality (1280x720)");

void addRow(QualityTable &table, const QString &name, const QString &id, QSize size = {})
{
    table.names.append(name);
    table.ids.insert(name, id);
    if (size.isValid())
        table.sizes.insert(name, size);
}

} // namespace

QualityTable audio(bool modern)
{
    QualityTable table;
    const QString voice = QStringLiteral("Voice quality (32 kbps AAC)");
    const QString high = QStringLiteral("High quality (64 kbps AAC)");
    const QString lossless = QStringLiteral("Lossless (ALAC)");
    if (!modern) {
        addRow(table, voice, kLegacyAudioIds[0]);
        addRow(table, high, kLegacyAudioIds[1]);
        addRow(table, lossless, kLegacyAudioIds[2]);
        return table;
    }
    addRow(table, voice, kModernAudioIds[0]);
    addRow(table, high, kModernAudioIds[1]);
    addRow(table, QStringLiteral("Higher quality (128 kbps AAC)"), kModernAudioIds[2]);
    addRow(table, QStringLiteral("Very high quality (256 kbps AAC)"), kModernAudioIds[3]);
    addRow(table, lossless, kModernAudioIds[4]);
    return table;
}

QualityTable video(bool modern, bool cameraOffers1280x720)
{
    const QStringList &ids = modern ? kModernVideoIds : kLegacyVideoIds;
    QualityTable table;
    addRow(table, QStringLiteral("Low quality (160x120)"), ids[0], QSize(160, 120));
    addRow(table, QStringLiteral("Medium quality (320x240)"), ids[1], QSize(320, 240));
    addRow(table, QStringLiteral("High quality (640x480)"), ids[2], QSize(640, 480));
    if (modern && cameraOffers1280x720)
        addRow(table, kHDName, QStringLiteral("hd"), QSize(1280, 720));
    return table;
}

QString translatedAudioId(const QString &stored, bool modern)
{
    if (!modern || kModernAudioIds.contains(stored))
        return stored;
    const qsizetype index = kLegacyAudioIds.indexOf(stored);
    if (index < 0)
        return stored;
    // Lossless is last in both tables; the others keep their place.
    return index == kLegacyAudioIds.size() - 1 ? kModernAudioIds.last() : kModernAudioIds[index];
}

QString translatedVideoId(const QString &stored, bool modern)
{
    const QStringList &current = modern ? kModernVideoIds : kLegacyVideoIds;
    if (current.contains(stored) || (modern && stored == QLatin1String("hd")))
        return stored;
    qsizetype index = kOldMpeg4VideoIds.indexOf(stored);
    if (index < 0 && modern)
        index = kLegacyVideoIds.indexOf(stored);
    return index < 0 ? stored : current[index];
}

} // namespace QualityTables
} // namespace lq
