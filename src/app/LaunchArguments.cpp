#include "app/LaunchArguments.h"

#include <QCommandLineParser>
#include <QFileInfo>

std::optional<LaunchRequest> parseLaunchArguments(const QStringList &arguments, QString *error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Takes notes while it records, and plays the recording back from the notes."));
    const QCommandLineOption search(QStringLiteral("search"),
                                    QStringLiteral("Selects the first occurrence of TEXT in the "
                                                   "notes that are opened."),
                                    QStringLiteral("TEXT"));
    parser.addOption(search);
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Notes, slides (PDF) or media files to open."),
                                 QStringLiteral("[files...]"));
    if (!parser.parse(arguments)) {
        if (error)
            *error = parser.errorText();
        return std::nullopt;
    }
    LaunchRequest request;
    for (const QString &file : parser.positionalArguments())
        request.files.append(QFileInfo(file).absoluteFilePath());
    request.searchText = parser.value(search);
    if (!request.isValid()) {
        if (error)
            *error = QStringLiteral("Too many files, or a path or search text that is too long.");
        return std::nullopt;
    }
    return request;
}
