#include "app/LaunchRequest.h"

#include <QStringDecoder>
#include <QtEndian>

namespace {

constexpr char kMagic[] = "LUMAQUILL-OPEN-1";
constexpr qsizetype kMagicSize = sizeof(kMagic) - 1;
constexpr char kFileRecord = 'F';
constexpr char kSearchRecord = 'S';
constexpr char kEndRecord = 'E';

void appendRecord(QByteArray &out, char kind, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    out.append(kind);
    char length[4];
    qToBigEndian<quint32>(static_cast<quint32>(bytes.size()), length);
    out.append(length, 4);
    out.append(bytes);
}

std::optional<QString> strictUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError() || text.contains(QChar(0)))
        return std::nullopt;
    return text;
}

bool isValidPath(const QString &path)
{
    return path.startsWith(QLatin1Char('/')) && !path.contains(QChar(0)) &&
           path.toUtf8().size() <= LaunchRequest::kMaxPathBytes;
}

} // namespace

bool LaunchRequest::isValid() const
{
    if (files.size() > kMaxFiles || searchText.contains(QChar(0)) ||
        searchText.toUtf8().size() > kMaxSearchBytes)
        return false;
    return std::all_of(files.begin(), files.end(), isValidPath);
}

QByteArray LaunchRequest::encoded() const
{
    QByteArray out(kMagic, kMagicSize);
    for (const QString &file : files)
        appendRecord(out, kFileRecord, file);
    if (!searchText.isEmpty())
        appendRecord(out, kSearchRecord, searchText);
    out.append(kEndRecord);
    return out;
}

std::optional<LaunchRequest> LaunchRequest::decode(const QByteArray &data, bool *complete)
{
    if (complete)
        *complete = false;
    const auto incomplete = [&]() -> std::optional<LaunchRequest> {
        if (complete)
            *complete = false;
        return std::nullopt;
    };
    const auto invalid = [&]() -> std::optional<LaunchRequest> {
        if (complete)
            *complete = true;
        return std::nullopt;
    };
    if (data.size() > kMaxEncodedBytes)
        return invalid();
    const qsizetype head = std::min(data.size(), kMagicSize);
    if (QByteArrayView(data).first(head) != QByteArrayView(kMagic, head))
        return invalid();
    if (data.size() < kMagicSize)
        return incomplete();

    LaunchRequest request;
    bool hasSearch = false;
    qsizetype at = kMagicSize;
    while (at < data.size()) {
        const char kind = data.at(at++);
        if (kind == kEndRecord) {
            if (at != data.size())
                return invalid();
            if (complete)
                *complete = true;
            return request;
        }
        if (kind != kFileRecord && kind != kSearchRecord)
            return invalid();
        if (data.size() - at < 4)
            return incomplete();
        const quint32 length = qFromBigEndian<quint32>(data.constData() + at);
        at += 4;
        const qsizetype limit = kind == kFileRecord ? kMaxPathBytes : kMaxSearchBytes;
        if (length > static_cast<quint32>(limit))
            return invalid();
        if (data.size() - at < static_cast<qsizetype>(length))
            return incomplete();
        const std::optional<QString> text = strictUtf8(QByteArrayView(data).sliced(at, length));
        at += length;
        if (!text)
            return invalid();
        if (kind == kFileRecord) {
            if (!isValidPath(*text) || request.files.size() == kMaxFiles)
                return invalid();
            request.files.append(*text);
        } else {
            if (hasSearch || text->isEmpty())
                return invalid();
            hasSearch = true;
            request.searchText = *text;
        }
    }
    return incomplete();
}
