// Fuzz target: the message framer and every decoder. The input is framed once
// whole and once in chunks whose sizes come from the input; both must give the
// same messages. Every message goes through every decoder, and what a decoder
// gives must encode to bytes that decode and encode to the same bytes again.
#include "protocol/wire/MessageFramer.h"
#include "protocol/wire/PongMessage.h"
#include "protocol/wire/QueryHitMessage.h"
#include "protocol/wire/QueryMessage.h"
#include "protocol/wire/RelayRule.h"
#include "protocol/wire/UpdateMessage.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

const std::uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

template <typename TMessage> void CheckStable(const std::uint8_t* data, std::size_t size) {
    const auto decoded = TMessage::Decode(data, size);
    if (!decoded)
        return;
    const std::string once = decoded->Encode();
    Check(once.size() == CMessageHeader::kSize + decoded->ComputePayloadLength());
    const auto again = TMessage::Decode(Bytes(once), once.size());
    Check(again.has_value());
    Check(again->Encode() == once);
}

std::vector<std::string> Frame(const std::uint8_t* data, std::size_t size, std::uint8_t seed,
                               bool* failed) {
    CMessageFramer framer;
    std::vector<std::string> messages;
    std::size_t at = 0;
    unsigned step = seed;
    while (at < size) {
        std::size_t chunk = size - at;
        if (seed != 0) {
            step = step * 37 + 11;
            chunk = std::min<std::size_t>(chunk, 1 + step % 97);
        }
        std::size_t taken = 0;
        while (taken < chunk) {
            const auto result = framer.Feed(data + at + taken, chunk - taken);
            Check(result.consumed <= chunk - taken);
            taken += result.consumed;
            if (result.status == CMessageFramer::EStatus::Error) {
                *failed = true;
                return messages;
            }
            if (result.status == CMessageFramer::EStatus::Complete) {
                Check(framer.MessageSize() ==
                      CMessageHeader::kSize + framer.Header().GetPayloadLength());
                Check(framer.Header().GetPayloadLength() <= CMessageFramer::kMaxPayloadLength);
                messages.emplace_back(reinterpret_cast<const char*>(framer.MessageData()),
                                      framer.MessageSize());
            } else {
                Check(taken == chunk); // NeedMore takes everything it is given
            }
        }
        at += chunk;
    }
    return messages;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t seed = data[0];
    ++data;
    --size;

    bool wholeFailed = false;
    bool chunkedFailed = false;
    const auto whole = Frame(data, size, 0, &wholeFailed);
    const auto chunked = Frame(data, size, seed | 1, &chunkedFailed);
    Check(whole == chunked);
    Check(wholeFailed == chunkedFailed);

    // Messages too short for the framer still reach the decoders as raw input.
    std::vector<std::string> inputs = whole;
    inputs.emplace_back(reinterpret_cast<const char*>(data), size);
    for (const std::string& message : inputs) {
        CheckStable<CPongMessage>(Bytes(message), message.size());
        CheckStable<CQueryMessage>(Bytes(message), message.size());
        CheckStable<CQueryHitMessage>(Bytes(message), message.size());
        CheckStable<CUpdateMessage>(Bytes(message), message.size());
        if (auto header = CMessageHeader::Decode(Bytes(message), message.size())) {
            CMessageHeader copy = *header;
            ApplyRelayRule(copy);
            ApplyUpdateRelayRule(*header, [seed] { return unsigned{seed}; });
        }
    }
    return 0;
}
