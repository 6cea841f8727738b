#include "shared/RecordingErrors.h"

#include "platform/foundation/Log.h"

void reportRecordingError(BMRecordingErrorHandler *handler, const QString &message, bool retry)
{
    if (handler)
        handler->recordingErrorOccurred(message, retry);
    else
        lq::log(message);
}
