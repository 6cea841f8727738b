#include "model/WrenTimeStamp.h"

#include "model/ChunkedList.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

#include <atomic>

namespace {

const QString kTypeKey = QStringLiteral("type");
const QString kSessionKey = QStringLiteral("session");
const QString kOffsetKey = QStringLiteral("offset");
const QString kIndexKey = QStringLiteral("index");

std::atomic<uint64_t> timingChanges{0};

} // namespace

WrenTimeStamp::WrenTimeStamp(Passkey, int32_t type, int32_t session, double offset, uint32_t index)
    : m_type(type), m_session(session), m_offset(offset), m_index(index)
{}

WrenTimeStampPtr WrenTimeStamp::initWithKey(uint32_t index, int32_t session, double offset)
{
    return std::make_shared<WrenTimeStamp>(Passkey(), WrenTimeStampTypeKey, session, offset, index);
}

WrenTimeStampPtr WrenTimeStamp::initWithSlide(uint32_t slide, int32_t session, double offset)
{
    return std::make_shared<WrenTimeStamp>(Passkey(), WrenTimeStampTypeSlide, session, offset,
                                           slide);
}

WrenTimeStampPtr WrenTimeStamp::emptyKey(uint32_t index)
{
    return initWithKey(index, kEmptySession, 0.0);
}

lq::ArchivablePtr WrenTimeStamp::initWithCoder(lq::KeyedUnarchiver &coder)
{
    const int32_t type = coder.decodeInt32(kTypeKey);
    const int32_t session = coder.decodeInt32(kSessionKey);
    const double offset = coder.decodeDouble(kOffsetKey);
    const auto index = static_cast<uint32_t>(coder.decodeInt32(kIndexKey));
    return std::make_shared<WrenTimeStamp>(Passkey(), type, session, offset, index);
}

void CharacterPlacement::place(const WrenTimeStampPtr &stamp, const ListChunk &chunk, uint32_t slot)
{
    stamp->m_chunk = &chunk;
    stamp->m_slot = slot;
}

void CharacterPlacement::release(const WrenTimeStampPtr &stamp, const ListChunk &chunk,
                                 size_t position)
{
    // A stamp placed in another list since then stays there.
    if (stamp->m_chunk != &chunk)
        return;
    stamp->m_chunk = nullptr;
    stamp->m_index = static_cast<uint32_t>(position);
}

uint32_t WrenTimeStamp::index() const
{
    return m_chunk ? static_cast<uint32_t>(m_chunk->start() + m_slot) : m_index;
}

WrenTimeStamp::Fields WrenTimeStamp::fields(const ChunkStarts &starts) const
{
    const uint32_t index =
        m_chunk ? static_cast<uint32_t>(m_chunk->start(starts) + m_slot) : m_index;
    return {m_type, m_session, m_offset, index};
}

void WrenTimeStamp::setSession(int32_t session)
{
    m_session = session;
    timingChanges.fetch_add(1, std::memory_order_relaxed);
}

void WrenTimeStamp::setOffset(double offset)
{
    m_offset = offset;
    timingChanges.fetch_add(1, std::memory_order_relaxed);
}

uint64_t WrenTimeStamp::timingChangeCount()
{
    return timingChanges.load(std::memory_order_relaxed);
}

WrenTimeStampPtr WrenTimeStamp::copy() const
{
    switch (m_type) {
    case WrenTimeStampTypeKey:
        return initWithKey(index(), m_session, m_offset);
    case WrenTimeStampTypeSlide:
        return initWithSlide(index(), m_session, m_offset);
    default:
        return nullptr;
    }
}

QString WrenTimeStamp::description() const
{
    const char *typeWord = m_type == WrenTimeStampTypeKey     ? "key"
                           : m_type == WrenTimeStampTypeSlide ? "slide"
                                                              : "unknown";
    return QString::asprintf("<WrenTimeStamp \"%s\": session=%d, offset=%f, and index=%u>",
                             typeWord, m_session, m_offset, index());
}

QStringList WrenTimeStamp::archiveClassNames() const
{
    static const QStringList names{QLatin1String(kArchiveClassName), QStringLiteral("NSObject")};
    return names;
}

void WrenTimeStamp::encodeFields(lq::KeyedArchiver &coder, const Fields &fields)
{
    coder.encodeInt32(kTypeKey, fields.type);
    coder.encodeInt32(kSessionKey, fields.session);
    coder.encodeDouble(kOffsetKey, fields.offset);
    coder.encodeInt32(kIndexKey, static_cast<int32_t>(fields.index));
}

void WrenTimeStamp::encodeWithCoder(lq::KeyedArchiver &coder) const
{
    encodeFields(coder, fields());
}
