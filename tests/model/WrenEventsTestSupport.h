#pragma once

#include "model/WrenEvents.h"

#include <QString>

#include <ostream>
#include <vector>

// One list entry as identity plus fields, so that whole lists can be compared exactly.
struct StampState
{
    const WrenTimeStamp *stamp;
    int32_t type;
    int32_t session;
    double offset;
    uint32_t index;

    bool operator==(const StampState &) const = default;
};

inline void PrintTo(const StampState &s, std::ostream *out)
{
    *out << s.stamp << " " << s.stamp->description().toStdString();
}

// A stamp list of any kind: a vector, the chronological list, the per-character list.
template <class List>
std::vector<StampState> stateOf(const List &list)
{
    std::vector<StampState> state;
    for (const WrenTimeStampPtr &s : list)
        state.push_back({s.get(), s->type(), s->session(), s->offset(), s->index()});
    return state;
}

// Both lists of a store.
struct StoreState
{
    std::vector<StampState> events;
    std::vector<StampState> keyEvents;

    bool operator==(const StoreState &) const = default;
};

inline StoreState stateOf(const WrenEvents &store)
{
    return {stateOf(store.getEvents()), stateOf(store.keyEvents())};
}

inline void PrintTo(const StoreState &s, std::ostream *out)
{
    *out << "events:";
    for (const StampState &e : s.events)
        *out << "\n  " << e.stamp->description().toStdString();
    *out << "\nkeyEvents:";
    for (const StampState &e : s.keyEvents)
        *out << "\n  " << e.stamp->description().toStdString();
}
