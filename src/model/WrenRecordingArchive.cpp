#include "model/WrenEvents.h"
#include "model/WrenRecording.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Log.h"

namespace {

const QString kTimerSessionsKey = QStringLiteral("timerSessions");
const QString kEventsKey = QStringLiteral("wrenEvents");
const QString kSlidesSavedKey = QStringLiteral("slidesSaved");
const QString kVideoRecordedKey = QStringLiteral("videoRecorded");
const QString kRecordingFilesKey = QStringLiteral("recordingFiles");
const QString kAVFPlayableKey = QStringLiteral("AVFPlayable");

QStringList recordingClassNames()
{
    return {QLatin1String(WrenRecording::kArchiveClassName), QStringLiteral("NSObject")};
}

// A recording's archived values, taken at one moment: its sessions and stamps as copies.
class RecordingArchiveCopy final : public lq::Archivable
{
public:
    lq::ArchiveArray sessions;
    lq::ArchivablePtr events;
    lq::ArchiveDictionary files;
    bool slidesSaved = false;
    bool videoRecorded = false;
    bool avfPlayable = false;

    QStringList archiveClassNames() const override { return recordingClassNames(); }
    void encodeWithCoder(lq::KeyedArchiver &coder) const override
    {
        coder.encodeObject(kTimerSessionsKey, lq::ArchiveValue::array(sessions));
        coder.encodeObject(kEventsKey, lq::ArchiveValue::object(events));
        if (slidesSaved)
            coder.encodeBool(kSlidesSavedKey, true);
        coder.encodeBool(kVideoRecordedKey, videoRecorded);
        coder.encodeObject(kRecordingFilesKey, lq::ArchiveValue::dictionary(files));
        coder.encodeBool(kAVFPlayableKey, avfPlayable);
    }
};

} // namespace

// Archive

QStringList WrenRecording::archiveClassNames() const
{
    return recordingClassNames();
}

lq::ArchivablePtr WrenRecording::archiveCopy() const
{
    auto copy = std::make_shared<RecordingArchiveCopy>();
    {
        std::lock_guard lock(m_modelMutex);
        copy->sessions.reserve(static_cast<qsizetype>(m_timerSessions.size()));
        for (const SessionPtr &session : m_timerSessions)
            copy->sessions.append(lq::ArchiveValue::object(session->archiveCopy()));
        for (auto it = m_recordingFiles.cbegin(); it != m_recordingFiles.cend(); ++it) {
            lq::ArchiveArray names;
            for (const QString &name : it.value())
                names.append(lq::ArchiveValue::string(name));
            copy->files.append(
                {lq::ArchiveValue::integer(it.key()), lq::ArchiveValue::array(names)});
        }
    }
    copy->events = m_events->archiveCopy();
    copy->slidesSaved = hasSlides();
    copy->videoRecorded = m_videoRecorded;
    copy->avfPlayable = AVFPlayable();
    return copy;
}

void WrenRecording::encodeWithCoder(lq::KeyedArchiver &coder) const
{
    archiveCopy()->encodeWithCoder(coder);
}

lq::ArchivablePtr WrenRecording::initWithCoder(lq::KeyedUnarchiver &coder)
{
    auto recording = std::make_shared<WrenRecording>();
    recording->m_avfPlayable = false;
    if (!decodeSessions(coder, *recording) || !decodeRecordingFiles(coder, *recording) ||
        !decodeEvents(coder, *recording))
        return nullptr;
    recording->m_slidesSaved = coder.decodeBool(kSlidesSavedKey);
    recording->m_videoRecorded = coder.decodeBool(kVideoRecordedKey);
    recording->m_avfPlayable = coder.decodeBool(kAVFPlayableKey);
    return coder.hasFailed() ? nullptr : recording;
}

bool WrenRecording::decodeSessions(lq::KeyedUnarchiver &coder, WrenRecording &recording)
{
    const lq::ArchiveValue value = coder.decodeObject(kTimerSessionsKey);
    if (value.isNull())
        return true;
    if (value.kind() != lq::ArchiveValue::Kind::Array) {
        coder.failWithReason(QStringLiteral("The recording's session list is not a list."));
        return false;
    }
    for (const lq::ArchiveValue &entry : value.toArray()) {
        SessionPtr session = entry.objectAs<WrenTimerSession>();
        if (!session) {
            coder.failWithReason(QStringLiteral("The recording's session list holds a value "
                                                "that is no session."));
            return false;
        }
        session->setSaved(true);
        recording.adoptSession(session);
        recording.m_timerSessions.push_back(session);
    }
    return true;
}

bool WrenRecording::decodeRecordingFiles(lq::KeyedUnarchiver &coder, WrenRecording &recording)
{
    const int32_t sessionCount = static_cast<int32_t>(recording.m_timerSessions.size());
    if (!coder.containsValue(kRecordingFilesKey)) {
        for (int32_t i = 0; i < sessionCount; ++i) {
            if (recording.sessionHasMedia(*recording.m_timerSessions[size_t(i)]))
                recording.m_recordingFiles.insert(
                    i, {QString::asprintf("%s-%d.%s", "recording", i, "mov")});
        }
        return true;
    }
    const lq::ArchiveValue value = coder.decodeObject(kRecordingFilesKey);
    if (value.kind() != lq::ArchiveValue::Kind::Dictionary) {
        coder.failWithReason(QStringLiteral("The recording's file list is not a dictionary."));
        return false;
    }
    for (const auto &[key, names] : value.toDictionary()) {
        if (key.kind() != lq::ArchiveValue::Kind::Integer || key.toInteger() < 0 ||
            key.toInteger() >= sessionCount) {
            lq::log(QStringLiteral("Program error, media files listed for a session the recording "
                                   "does not have; they are left out.\n"));
            continue;
        }
        if (names.kind() != lq::ArchiveValue::Kind::Array) {
            lq::log(QStringLiteral("Program error, the media files of session %1 are no list; "
                                   "they are left out.\n")
                        .arg(key.toInteger()));
            continue;
        }
        QStringList kept;
        for (const lq::ArchiveValue &name : names.toArray()) {
            if (name.kind() == lq::ArchiveValue::Kind::String && isPlainFileName(name.toString()))
                kept.append(name.toString());
            else
                lq::log(QStringLiteral("Program error, media file name \"%1\" of session %2 is "
                                       "not a plain file name; it is left out.\n")
                            .arg(name.toString())
                            .arg(key.toInteger()));
        }
        recording.m_recordingFiles.insert(static_cast<int32_t>(key.toInteger()), kept);
    }
    return true;
}

bool WrenRecording::decodeEvents(lq::KeyedUnarchiver &coder, WrenRecording &recording)
{
    const lq::ArchiveValue value = coder.decodeObject(kEventsKey);
    if (!value.isNull()) {
        recording.m_events = value.objectAs<WrenEvents>();
        if (!recording.m_events) {
            coder.failWithReason(QStringLiteral("The recording's event store is no event store."));
            return false;
        }
    }
    if (!recording.m_events->hasSessionLengths()) {
        for (int32_t i = 0; i < static_cast<int32_t>(recording.m_timerSessions.size()); ++i) {
            double length = 0.0;
            if (recording.m_timerSessions[size_t(i)]->length(&length))
                recording.m_events->addSessionLength(static_cast<float>(length), i);
        }
    }
    return true;
}
