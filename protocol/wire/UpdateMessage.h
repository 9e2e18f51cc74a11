// CUpdateMessage: announces a new thread or a new response (thread id, time
// stamp, response count, title, author name, category, origin servent id).
// Plain value; GUI thread.
#pragma once

#include "base/BinaryId.h"
#include "protocol/wire/MessageHeader.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

class CUpdateMessage {
public:
    // Thread id, time stamp, response count and the trailing servent id.
    static constexpr std::uint32_t kFixedPayloadLength = 22 + 16;

    CMessageHeader& Header() { return m_header; }
    const CMessageHeader& Header() const { return m_header; }

    void SetThreadId(const CBinaryId& id) { m_threadId = id; }
    void SetTime(std::uint32_t time) { m_time = time; }
    void SetResCount(std::uint16_t count) { m_resCount = count; }
    void SetTitle(std::string title) { m_title = std::move(title); }
    void SetName(std::string name) { m_name = std::move(name); }
    void SetCategory(std::string category) { m_category = std::move(category); }
    void SetServentId(const CBinaryId& id) { m_serventId = id; }

    const CBinaryId& GetThreadId() const { return m_threadId; }
    std::uint32_t GetTime() const { return m_time; }
    std::uint16_t GetResCount() const { return m_resCount; }
    const std::string& GetTitle() const { return m_title; }
    const std::string& GetName() const { return m_name; }
    const std::string& GetCategory() const { return m_category; }
    const CBinaryId& GetServentId() const { return m_serventId; }

    // 41 + len(title) + len(name) + len(category).
    std::uint32_t ComputePayloadLength() const;

    // Header (with the computed payload length) and payload.
    std::string Encode() const;

    // From one whole framed message; nothing when it is shorter than a header
    // and the 38 fixed payload bytes. The strings are scanned from offset 45;
    // the servent id is the last 16 bytes.
    static std::optional<CUpdateMessage> Decode(const std::uint8_t* data, std::size_t size);

private:
    CMessageHeader m_header;
    CBinaryId m_threadId;
    std::uint32_t m_time = 0;
    std::uint16_t m_resCount = 0;
    std::string m_title;
    std::string m_name;
    std::string m_category;
    CBinaryId m_serventId;
};
