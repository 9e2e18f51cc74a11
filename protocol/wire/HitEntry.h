// CHitEntry: one thread summary in a queryhit (thread id, time stamp, response
// count, title, author name, category). Plain value; GUI thread.
#pragma once

#include "base/BinaryId.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

class CHitEntry {
public:
    // Thread id, time stamp and response count, before the strings.
    static constexpr std::size_t kFixedSize = 22;

    void SetThreadId(const CBinaryId& id) { m_threadId = id; }
    void SetTime(std::uint32_t time) { m_time = time; }
    void SetResCount(std::uint16_t count) { m_resCount = count; }
    void SetTitle(std::string title) { m_title = std::move(title); }
    void SetName(std::string name) { m_name = std::move(name); }
    void SetCategory(std::string category) { m_category = std::move(category); }

    const CBinaryId& GetThreadId() const { return m_threadId; }
    std::uint32_t GetTime() const { return m_time; }
    std::uint16_t GetResCount() const { return m_resCount; }
    const std::string& GetTitle() const { return m_title; }
    const std::string& GetName() const { return m_name; }
    const std::string& GetCategory() const { return m_category; }

    // 25 + the lengths of the three strings.
    std::size_t EncodedSize() const;
    void EncodeTo(std::string& out) const;

private:
    CBinaryId m_threadId;
    std::uint32_t m_time = 0;
    std::uint16_t m_resCount = 0;
    std::string m_title;
    std::string m_name;
    std::string m_category;
};
