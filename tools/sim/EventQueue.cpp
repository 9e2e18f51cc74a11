// CEventQueue: a binary heap of timed actions.
#include "EventQueue.h"

void CEventQueue::At(Micros when, std::function<void()> action) {
    m_queue.push(Event{when < m_now ? m_now : when, m_nextOrder++, std::move(action)});
}

bool CEventQueue::RunNext() {
    if (m_queue.empty())
        return false;
    // The action is moved out before it runs: it may schedule more.
    Event event = std::move(const_cast<Event&>(m_queue.top()));
    m_queue.pop();
    m_now = event.when;
    ++m_executed;
    event.action();
    return true;
}

std::size_t CEventQueue::RunUntil(Micros end) {
    std::size_t ran = 0;
    while (!m_queue.empty() && m_queue.top().when <= end) {
        RunNext();
        ++ran;
    }
    if (end > m_now)
        m_now = end;
    return ran;
}
