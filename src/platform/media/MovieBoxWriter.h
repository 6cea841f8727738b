#pragma once

#include <QByteArray>
#include <QList>

#include <cstdint>

namespace lq::movie {

// Writes boxes into a buffer, big-endian; a box's size is filled in when it is closed.
class BoxWriter
{
public:
    void open(const char *type)
    {
        m_open.append(m_data.size());
        u32(0);
        m_data.append(type, 4);
    }
    // A full box: with its version and flags.
    void open(const char *type, uint8_t version, uint32_t flags)
    {
        open(type);
        u32(uint32_t(version) << 24 | (flags & 0xffffff));
    }
    void close()
    {
        const qsizetype begin = m_open.takeLast();
        const auto size = uint32_t(m_data.size() - begin);
        for (int i = 0; i < 4; ++i)
            m_data[begin + i] = char(size >> (24 - 8 * i));
    }
    void u32(uint32_t value)
    {
        for (int shift = 24; shift >= 0; shift -= 8)
            m_data.append(char(value >> shift));
    }
    void u64(uint64_t value)
    {
        u32(uint32_t(value >> 32));
        u32(uint32_t(value));
    }
    void bytes(const QByteArray &data) { m_data.append(data); }

    const QByteArray &data() const { return m_data; }

private:
    QByteArray m_data;
    QList<qsizetype> m_open;
};

} // namespace lq::movie
