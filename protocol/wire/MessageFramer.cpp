// CMessageFramer: header first, then exactly the announced payload.
#include "protocol/wire/MessageFramer.h"

#include <algorithm>

CMessageFramer::SResult CMessageFramer::Feed(const std::uint8_t* data, std::size_t size) {
    if (m_failed)
        return {EStatus::Error, 0};
    if (m_complete) {
        m_message.clear();
        m_headerDone = false;
        m_complete = false;
    }

    std::size_t consumed = 0;
    if (!m_headerDone) {
        const std::size_t take = std::min(CMessageHeader::kSize - m_message.size(), size);
        m_message.append(reinterpret_cast<const char*>(data), take);
        consumed = take;
        if (m_message.size() < CMessageHeader::kSize)
            return {EStatus::NeedMore, consumed};
        m_header = *CMessageHeader::Decode(MessageData(), m_message.size());
        m_headerDone = true;
        if (m_header.GetPayloadLength() > kMaxPayloadLength) {
            m_failed = true;
            return {EStatus::Error, consumed};
        }
    }

    const std::size_t total = CMessageHeader::kSize + m_header.GetPayloadLength();
    const std::size_t take = std::min(total - m_message.size(), size - consumed);
    m_message.append(reinterpret_cast<const char*>(data + consumed), take);
    consumed += take;
    if (m_message.size() < total)
        return {EStatus::NeedMore, consumed};
    m_complete = true;
    return {EStatus::Complete, consumed};
}
