#include "platform/media/CaptureEncoding.h"

namespace lq {

AudioEncoding AudioEncoding::forToken(const QString &token)
{
    if (token == QLatin1String("lossless"))
        return {QStringLiteral("avenc_alac"), 0, 0};
    const QString aac = QStringLiteral("avenc_aac");
    if (token == QLatin1String("32"))
        return {aac, 32000, 1};
    for (const int kilobits : {64, 128, 256}) {
        if (token == QString::number(kilobits))
            return {aac, kilobits * 1000, 0};
    }
    return {aac, 0, 0};
}

VideoEncoding VideoEncoding::forToken(const QString &token)
{
    struct Row
    {
        const char *token;
        QSize size;
        int kilobitRate;
    };
    static const Row rows[] = {{"low", QSize(160, 120), 200},
                               {"medium", QSize(320, 240), 500},
                               {"high", QSize(640, 480), 1200},
                               {"hd", QSize(1280, 720), 3000}};
    for (const Row &row : rows) {
        if (token == QLatin1String(row.token))
            return {row.size, row.kilobitRate};
    }
    return {};
}

} // namespace lq
