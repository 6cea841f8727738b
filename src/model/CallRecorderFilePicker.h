#pragma once

#include <QString>

#include <chrono>
#include <optional>

// Asks the user for the movie the call-recording add-on wrote during a session, and checks its
// length against the session's before taking it.
class CallRecorderFilePicker
{
public:
    // A length this close to the session's is taken without a question.
    static constexpr double kLengthTolerance = 15.0;
    static constexpr std::chrono::seconds kProbeTimeLimit{20};

    // The folder the panel starts in: the one of the last file taken, else "Saved Calls" in the
    // user's videos folder; empty when neither is known.
    static QString startFolder();

    // Runs the open panel until a file is taken, the user aborts or cancels. sessionLength
    // none: any movie is taken.
    std::optional<QString> pick(std::optional<double> sessionLength) const;

private:
    enum class Answer { PickAgain, Abort, Take };

    Answer askAboutLength(const QString &name, double movieLength, double sessionLength) const;
    Answer askAboutInvalidFile(const QString &name, const QString &error) const;
};
