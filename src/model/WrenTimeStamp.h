#pragma once

#include "platform/foundation/ArchiveValue.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace lq {
class KeyedUnarchiver;
}
class ListChunk;
struct ChunkStarts;

enum WrenTimeStampType : int32_t { WrenTimeStampTypeKey = 1, WrenTimeStampTypeSlide = 2 };

class WrenTimeStamp;
using WrenTimeStampPtr = std::shared_ptr<WrenTimeStamp>;

// How a per-character list (a ChunkedList) keeps the indexes of its key stamps: each knows its
// chunk and slot there, so an insertion or removal renumbers no later stamp.
struct CharacterPlacement
{
    static constexpr bool kTellsItems = true;
    static void place(const WrenTimeStampPtr &stamp, const ListChunk &chunk, uint32_t slot);
    // A stamp leaving the list keeps the index it had there.
    static void release(const WrenTimeStampPtr &stamp, const ListChunk &chunk, size_t position);
};

// One moment of the timeline: when a character was typed (a key stamp) or a slide was shown (a
// slide stamp). Stamps have no equality: two stamps are the same only if they are the same
// object, and the event store finds them by identity.
class WrenTimeStamp : public lq::Archivable
{
    struct Passkey
    {
        explicit Passkey() = default;
    };

public:
    static constexpr int32_t kEmptySession = -1;
    static constexpr char kArchiveClassName[] = "WrenTimeStamp";

    // index is the character position (0-based).
    static WrenTimeStampPtr initWithKey(uint32_t index, int32_t session, double offset);
    // slide is the slide number (1-based).
    static WrenTimeStampPtr initWithSlide(uint32_t slide, int32_t session, double offset);
    // An empty stamp: a character with no moment in the recording.
    static WrenTimeStampPtr emptyKey(uint32_t index);
    // Reads the archived fields as they are; a type other than key or slide is kept.
    static lq::ArchivablePtr initWithCoder(lq::KeyedUnarchiver &coder);

    WrenTimeStamp(Passkey, int32_t type, int32_t session, double offset, uint32_t index);
    WrenTimeStamp(const WrenTimeStamp &) = delete;
    WrenTimeStamp &operator=(const WrenTimeStamp &) = delete;

    int32_t type() const { return m_type; }
    int32_t session() const { return m_session; }
    void setSession(int32_t session);
    double offset() const { return m_offset; }
    void setOffset(double offset);
    // A key stamp in a per-character list answers its position there.
    uint32_t index() const;
    // Counts only while the stamp is in no per-character list.
    void setIndex(uint32_t index) { m_index = index; }

    bool isEmpty() const { return m_type == WrenTimeStampTypeKey && m_session == kEmptySession; }

    // A new stamp with the same fields; null for a type other than key or slide.
    WrenTimeStampPtr copy() const;
    QString description() const;

    // Counts every change of a session or an offset made through the setters, so that an event
    // store can tell when the order of its stamps may have changed.
    static uint64_t timingChangeCount();

    // What a stamp archives; a copy made to be archived on another thread writes its fields so.
    struct Fields
    {
        int32_t type;
        int32_t session;
        double offset;
        uint32_t index;
    };
    Fields fields() const { return {m_type, m_session, m_offset, index()}; }
    // The same, the index read from the starts of its list's chunks.
    Fields fields(const ChunkStarts &starts) const;
    static void encodeFields(lq::KeyedArchiver &coder, const Fields &fields);

    QStringList archiveClassNames() const override;
    void encodeWithCoder(lq::KeyedArchiver &coder) const override;

private:
    friend struct CharacterPlacement;

    int32_t m_type;
    int32_t m_session;
    double m_offset;
    uint32_t m_index;
    uint32_t m_slot = 0;
    const ListChunk *m_chunk = nullptr; // set while in a per-character list
};
