#pragma once

#include <QString>

// Receives recording errors, with the choice of a retry.
class BMRecordingErrorHandler
{
public:
    virtual ~BMRecordingErrorHandler() = default;
    virtual void recordingErrorOccurred(const QString &message, bool shouldRetry) = 0;
};

// Hands a recording error to handler, or logs it when there is none. Any thread.
void reportRecordingError(BMRecordingErrorHandler *handler, const QString &message, bool retry);
