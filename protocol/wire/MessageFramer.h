// CMessageFramer: cuts the byte stream of an established connection into whole
// overlay messages (23 header bytes, then as many payload bytes as the header
// announces). One per connection; GUI thread.
#pragma once

#include "protocol/wire/MessageHeader.h"

#include <cstddef>
#include <cstdint>
#include <string>

class CMessageFramer {
public:
    // A header announcing more than this is taken as a broken or hostile peer:
    // buffering it would let one connection claim gigabytes.
    static constexpr std::uint32_t kMaxPayloadLength = 262144;

    enum class EStatus {
        NeedMore, // every byte given was taken; the message is not complete yet
        Complete, // a whole message is ready; bytes after it were not taken
        Error,    // the payload length is over the bound; the connection must close
    };

    struct SResult {
        EStatus status;
        std::size_t consumed; // bytes taken from this call's input
    };

    // Takes bytes up to the end of the current message. After Complete, the
    // message stays available until the next Feed, which starts a new one.
    // After Error every call takes nothing and reports Error again.
    SResult Feed(const std::uint8_t* data, std::size_t size);

    // The complete message (header and payload), valid after Complete.
    const std::uint8_t* MessageData() const {
        return reinterpret_cast<const std::uint8_t*>(m_message.data());
    }
    std::size_t MessageSize() const { return m_message.size(); }
    // The decoded header, valid once 23 bytes of the current message arrived.
    const CMessageHeader& Header() const { return m_header; }

    bool HasFailed() const { return m_failed; }

private:
    std::string m_message;
    CMessageHeader m_header;
    bool m_headerDone = false;
    bool m_complete = false;
    bool m_failed = false;
};
