#include "model/CallRecorderFilePicker.h"

#include "platform/foundation/UserDefaults.h"
#include "platform/media/MediaInfo.h"
#include "platform/ui/AlertPresenter.h"
#include "platform/ui/FilePanel.h"
#include "platform/ui/PanelPresenter.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cmath>

namespace {

const QString kLastFolderKey = QStringLiteral("callRecorderLastSelectedDir");
const QString kQuestion = QStringLiteral("Are you sure this is the right file?");
const QString kPickAgain = QStringLiteral("Pick again");
const QString kAbort = QStringLiteral("Abort");

} // namespace

QString CallRecorderFilePicker::startFolder()
{
    const QString last = lq::UserDefaults::standard().stringForKey(kLastFolderKey);
    if (!last.isEmpty())
        return last;
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    return videos.isEmpty() ? QString() : QDir(videos).filePath(QStringLiteral("Saved Calls"));
}

std::optional<QString> CallRecorderFilePicker::pick(std::optional<double> sessionLength) const
{
    const QString folder = startFolder();
    for (;;) {
        lq::FilePanel panel(lq::FilePanel::Kind::Open);
        panel.setNameFieldLabel(QStringLiteral("Skype recording:"));
        panel.setTitle(QStringLiteral("Select Skype recording"));
        if (QFileInfo(folder).isDir())
            panel.setDirectory(folder);
        const std::optional<QString> chosen = lq::PanelPresenter::current().runModal(panel);
        if (!chosen)
            return std::nullopt;
        const QFileInfo file(*chosen);
        lq::UserDefaults::standard().setString(kLastFolderKey, file.absolutePath());

        lq::Error error;
        const std::optional<lq::MediaInfo> movie =
            lq::MediaInfo::probe(*chosen, kProbeTimeLimit, &error);
        Answer answer = Answer::Take;
        if (!movie)
            answer = askAboutInvalidFile(file.fileName(), error.localizedDescription());
        else if (sessionLength && std::fabs(movie->duration - *sessionLength) > kLengthTolerance)
            answer = askAboutLength(file.fileName(), movie->duration, *sessionLength);
        if (answer == Answer::Take)
            return *chosen;
        if (answer == Answer::Abort)
            return std::nullopt;
    }
}

CallRecorderFilePicker::Answer CallRecorderFilePicker::askAboutLength(const QString &name,
                                                                      double movieLength,
                                                                      double sessionLength) const
{
    lq::AlertRequest request;
    request.messageText = kQuestion;
    request.informativeText =
        (sessionLength > movieLength
             ? QStringLiteral("The file you chose (%1) appears to be too short.")
             : QStringLiteral("The file you chose (%1) appears to be too long."))
            .arg(name);
    request.buttons = {kPickAgain, kAbort, QStringLiteral("Proceed anyway")};
    switch (lq::AlertPresenter::current().runModal(request).buttonIndex) {
    case 0:
        return Answer::PickAgain;
    case 2:
        return Answer::Take;
    default:
        return Answer::Abort;
    }
}

CallRecorderFilePicker::Answer
CallRecorderFilePicker::askAboutInvalidFile(const QString &name, const QString &error) const
{
    lq::AlertRequest request;
    request.messageText = kQuestion;
    request.informativeText =
        QStringLiteral("The file you chose (%1) does not appear to be a valid movie file: %2")
            .arg(name, error);
    request.buttons = {kPickAgain, kAbort};
    return lq::AlertPresenter::current().runModal(request).buttonIndex == 0 ? Answer::PickAgain
                                                                            : Answer::Abort;
}
