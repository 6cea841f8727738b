#pragma once

#include <QString>

#include <array>
#include <cstdint>

namespace lq {

// Remembers a value per string and number, found by the string's storage: the keys and class
// names of archived objects mostly come from literals, so a lookup compares an address instead
// of the text. Each slot holds a copy of its string, which keeps that storage alive and
// unchanged, so an address never stands for other text. A slot is reused by the next value
// that falls on it.
template <class Value>
class ArchiveRecentStrings
{
public:
    template <class Make>
    Value value(const QString &text, uint64_t number, Make make)
    {
        const auto address = static_cast<uint64_t>(reinterpret_cast<quintptr>(text.constData()));
        const uint64_t hash = address * 0x9E3779B97F4A7C15ull ^ number * 0xFF51AFD7ED558CCDull;
        Slot &slot = m_slots[hash >> (64 - kSlotBits)];
        if (!slot.filled || slot.number != number || slot.text.constData() != text.constData() ||
            slot.text.size() != text.size())
            slot = {text, number, make(), true};
        return slot.value;
    }

private:
    struct Slot
    {
        QString text;
        uint64_t number = 0;
        Value value{};
        bool filled = false;
    };
    static constexpr int kSlotBits = 8;
    std::array<Slot, 1 << kSlotBits> m_slots;
};

} // namespace lq
