#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// What a launch asks of the program: files to open and a text to search for in them. A second
// copy hands its request to the running one over a local socket, so what arrives is checked
// before anything is opened.
struct LaunchRequest
{
    static constexpr qsizetype kMaxFiles = 256;
    static constexpr qsizetype kMaxPathBytes = 4096;
    static constexpr qsizetype kMaxSearchBytes = 4096;
    // Header, every record and the end mark at their largest.
    static constexpr qsizetype kMaxEncodedBytes =
        16 + (kMaxFiles + 1) * (5 + kMaxPathBytes) + 5 + 1;

    QStringList files;  // absolute paths
    QString searchText; // empty for none

    // Whether every field is within bounds: absolute paths without NUL, sizes as above.
    bool isValid() const;

    QByteArray encoded() const;
    // The request in data, or nullopt when data is no complete, valid request. complete is
    // false when data is a valid beginning that needs more bytes.
    static std::optional<LaunchRequest> decode(const QByteArray &data, bool *complete = nullptr);

    bool operator==(const LaunchRequest &) const = default;
};
