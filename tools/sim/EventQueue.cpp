// CEventQueue: a binary heap of timed events.
#include "EventQueue.h"

#include <algorithm>

void CEventQueue::Push(Micros when, ITarget* target, std::uint32_t tag) {
    m_queue.push_back(Event{when < m_now ? m_now : when, m_nextOrder++, target, tag});
    std::push_heap(m_queue.begin(), m_queue.end(), Later());
}

void CEventQueue::At(Micros when, std::function<void()> action) {
    std::uint32_t slot;
    if (m_freeSlots.empty()) {
        slot = static_cast<std::uint32_t>(m_actions.size());
        m_actions.push_back(std::move(action));
    } else {
        slot = m_freeSlots.back();
        m_freeSlots.pop_back();
        m_actions[slot] = std::move(action);
    }
    Push(when, nullptr, slot);
}

void CEventQueue::At(Micros when, ITarget& target, std::uint32_t tag) {
    Push(when, &target, tag);
}

bool CEventQueue::RunNext() {
    if (m_queue.empty())
        return false;
    std::pop_heap(m_queue.begin(), m_queue.end(), Later());
    const Event event = m_queue.back();
    m_queue.pop_back();
    m_now = event.when;
    ++m_executed;
    if (event.target) {
        event.target->OnEvent(event.tag);
        return true;
    }
    // The action is moved out before it runs: it may schedule more.
    std::function<void()> action = std::move(m_actions[event.tag]);
    m_actions[event.tag] = nullptr;
    m_freeSlots.push_back(event.tag);
    action();
    return true;
}

std::size_t CEventQueue::RunUntil(Micros end) {
    std::size_t ran = 0;
    while (!m_queue.empty() && m_queue.front().when <= end) {
        RunNext();
        ++ran;
    }
    if (end > m_now)
        m_now = end;
    return ran;
}
