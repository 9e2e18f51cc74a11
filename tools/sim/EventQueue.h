// CEventQueue: the simulator's virtual clock. Actions are run in the order of
// their time; actions due at the same time run in the order they were
// scheduled, so every link of the memory transport delivers first in, first
// out. Time moves only from one action to the next. One thread: the
// simulator's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class CEventQueue {
public:
    using Micros = std::uint64_t;
    static constexpr Micros kMillisecond = 1000;
    static constexpr Micros kSecond = 1000 * kMillisecond;

    // One that schedules many events of its own (the transport, a message
    // each) and tells them apart by a number, so that each costs no action
    // object.
    class ITarget {
    public:
        virtual void OnEvent(std::uint32_t tag) = 0;

    protected:
        ~ITarget() = default;
    };

    Micros Now() const { return m_now; }
    // An action due before now runs as if due now: the clock never goes back.
    void At(Micros when, std::function<void()> action);
    void After(Micros delay, std::function<void()> action) { At(m_now + delay, std::move(action)); }
    // The same for a target's event: target.OnEvent(tag) at that time.
    void At(Micros when, ITarget& target, std::uint32_t tag);

    // Runs the earliest action; false when none is left.
    bool RunNext();
    // Runs every action due up to `end` (including those they schedule in
    // that span), then sets the clock to `end`. Returns how many ran.
    std::size_t RunUntil(Micros end);
    std::size_t Pending() const { return m_queue.size(); }
    std::uint64_t Executed() const { return m_executed; }

private:
    // The heap holds small records only; the actions stay where they were
    // put (a slot reused once its action has run), so ordering the heap
    // never moves one. Millions of messages are in flight at 10,000 nodes.
    struct Event {
        Micros when;
        std::uint64_t order;
        ITarget* target; // null: m_actions[tag]
        std::uint32_t tag;
    };
    struct Later {
        bool operator()(const Event& a, const Event& b) const {
            return a.when != b.when ? a.when > b.when : a.order > b.order;
        }
    };
    void Push(Micros when, ITarget* target, std::uint32_t tag);

    Micros m_now = 0;
    std::uint64_t m_nextOrder = 0;
    std::uint64_t m_executed = 0;
    std::vector<Event> m_queue; // a heap by Later
    std::vector<std::function<void()>> m_actions;
    std::vector<std::uint32_t> m_freeSlots;
};
