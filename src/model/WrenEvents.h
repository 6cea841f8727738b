#pragma once

#include "model/ChunkedList.h"
#include "model/EventTimeline.h"
#include "model/WrenTimeStamp.h"
#include "platform/foundation/ArchiveValue.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/UndoManager.h"

#include <QList>
#include <QMap>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// All time stamps of a note, in two lists that share the key stamps: the chronological list
// (key and slide stamps in (session, offset) order) and the per-character list (entry i is the
// key stamp of character i, or an empty stamp). Every change the user can undo is registered
// with the undo manager, with the store as target; without one nothing is registered.
// For one thread at a time: even look-ups may refresh what the store caches about its order.
class WrenEvents : public lq::Archivable
{
public:
    using StampList = std::vector<WrenTimeStampPtr>;
    // Entry i is the stamp of character i; each knows its index from its place.
    using CharacterList = ChunkedList<WrenTimeStampPtr, CharacterPlacement>;
    using SessionLengths = QMap<int32_t, float>;

    // What resetEventsToFirstSessionWithSessionLengths() saves for its undo.
    struct SavedEventArrays
    {
        struct Timing
        {
            WrenTimeStampPtr stamp;
            int32_t session;
            double offset;
        };
        std::optional<StampList> oldKeyEvents;
        std::optional<std::vector<Timing>> oldEvents;
        std::optional<QList<double>> lengths;
    };

    // Decoded key stamps at this character index or beyond are not given a place in the
    // per-character list, nor those beyond the text whose length the decoding was told (or,
    // told none, beyond the archive's size in bytes).
    static constexpr uint32_t kMaxCharacterCount = 1u << 24;
    static constexpr char kArchiveClassName[] = "WrenEvents";
    static constexpr char kTextLengthContext[] = "WrenEvents.textLength";

    // What decoding a store (or the recording holding it) is told: the length of the notes
    // text, which bounds the per-character list.
    static lq::ArchiveContext decodingContext(qsizetype textLength);

    WrenEvents() = default;
    ~WrenEvents() override;
    WrenEvents(const WrenEvents &) = delete;
    WrenEvents &operator=(const WrenEvents &) = delete;

    static lq::ArchivablePtr initWithCoder(lq::KeyedUnarchiver &coder);

    // Appends to the chronological list unordered (while recording, each stamp is the latest).
    void addEvent(const WrenTimeStampPtr &stamp, bool replaceChar);
    // Inserts at the stamp's chronological place.
    void insertEvent(const WrenTimeStampPtr &stamp, bool replaceChar);
    void removeEvent(const WrenTimeStampPtr &stamp);
    bool removeEventForCharacter(uint32_t index);
    bool addNullChar(uint32_t index, bool replaceChar);
    // A text change in one step: entries (key stamps indexed location onwards, or empty stamps)
    // take the places of the oldLength characters at location. The same result and undo steps
    // as placing each entry in turn (replacing while old characters last, insertEvent or
    // addNullChar) and then removing the surplus old characters from the highest down, but the
    // per-character list changes once.
    void replaceCharacters(uint32_t location, uint32_t oldLength, const StampList &entries);
    void removeAllSlidesEvents();
    // Makes room for a new session before session.
    void insertSession(int32_t session, double length);
    void addSessionLength(float length, int32_t session);
    void resetSessionLengthTo(double length);
    // lengths: one per session in timeline order; a session beyond them counts as 0 s long.
    void resetEventsToFirstSessionWithSessionLengths(const QList<double> &lengths);
    // The undo of resetEventsToFirstSessionWithSessionLengths().
    void restoreEventArrays(const SavedEventArrays &saved);

    const EventTimeline &getEvents() const { return m_events; }
    size_t count() const { return m_events.size(); }
    WrenTimeStampPtr getEvent(size_t i) const;
    std::optional<size_t> indexOfEvent(const WrenTimeStampPtr &stamp) const;
    // Index just after the last entry answers the last entry (a caret after the last character).
    WrenTimeStampPtr getEventForCharacter(uint32_t index, bool includeEmpties = false) const;
    WrenTimeStampPtr lastKeyEvent() const;
    WrenTimeStampPtr lastSlideEvent() const;
    // type -1: any type.
    WrenTimeStampPtr lastEventBeforeOffset(double offset, int32_t session, int32_t type = -1) const;
    WrenTimeStampPtr lastEventBeforeEvent(const WrenTimeStampPtr &stamp, int32_t type) const;
    // The stamp of the slide's longest showing.
    WrenTimeStampPtr getEventForSlide(uint32_t slide) const;
    // A separate store with every session merged into session 0; no undo manager.
    std::unique_ptr<WrenEvents> eventsWithMergedSessions() const;

    bool hasSessionLengths() const { return m_hasSessionLengths; }
    void setHasSessionLengths(bool has) { m_hasSessionLengths = has; }
    const SessionLengths &sessionLengths() const { return m_sessionLengths; }
    const CharacterList &keyEvents() const { return m_keyEvents; }
    lq::UndoManager *um() const { return m_um; }
    void setUm(lq::UndoManager *um);

    // Every stamp to the log, for diagnosis.
    void printEvents() const;
    // text: the notes text, whose characters are shown with their stamps; may be null.
    void printEventsWithString(const QString *text) const;

    // The store as it archives now, in a copy that another thread may archive while the store
    // changes (a save takes it on the main thread and archives it on its own).
    lq::ArchivablePtr archiveCopy() const;

    QStringList archiveClassNames() const override;
    void encodeWithCoder(lq::KeyedArchiver &coder) const override;

private:
    using SessionChanges = std::vector<std::pair<WrenTimeStampPtr, int32_t>>;

    void registerUndo(std::function<void()> action);
    void fillKeyEventsTo(uint32_t index);
    void replaceKeyEntry(uint32_t index, const WrenTimeStampPtr &stamp);
    void placeKeyStamp(const WrenTimeStampPtr &stamp, bool replaceChar);
    void placeStamp(const WrenTimeStampPtr &stamp, bool replaceChar);
    void placeEntry(const WrenTimeStampPtr &entry, bool replaceChar);
    void removeFromEvents(const std::vector<const WrenTimeStamp *> &stamps);
    void rebuildKeyEvents(uint32_t characterLimit);
    void restoreSessions(const SessionChanges &changes);
    void restoreSessionLengths(const SessionLengths &lengths);
    double recordedLengthsBelow(int64_t session) const;
    double durationOfSlideShowing(const WrenTimeStamp &slide, const WrenTimeStamp *next) const;
    bool decodeEvents(lq::KeyedUnarchiver &coder);
    bool decodeSessionLengths(lq::KeyedUnarchiver &coder);

    EventTimeline m_events;
    CharacterList m_keyEvents;
    SessionLengths m_sessionLengths;
    bool m_hasSessionLengths = false;
    QPointer<lq::UndoManager> m_um;
};
