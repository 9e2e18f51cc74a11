// CQueryHitMessage: encoding and decoding of the queryhit payload.
#include "protocol/wire/QueryHitMessage.h"

#include "protocol/wire/WireCoding.h"

namespace {
constexpr std::size_t kCountOffset = 23;
constexpr std::size_t kPortOffset = 24;
constexpr std::size_t kAddressOffset = 26;
constexpr std::size_t kEntriesOffset = 30;
constexpr std::size_t kServentIdSize = 16;
} // namespace

std::uint32_t CQueryHitMessage::ComputePayloadLength() const {
    std::size_t length = kFixedPayloadLength;
    for (const CHitEntry& entry : m_entries)
        length += entry.EncodedSize();
    return static_cast<std::uint32_t>(length);
}

std::string CQueryHitMessage::Encode() const {
    const std::uint32_t payloadLength = ComputePayloadLength();
    std::string out;
    out.reserve(CMessageHeader::kSize + payloadLength);
    m_header.EncodeTo(out, payloadLength);
    wire::PutU8(out, m_hitCount);
    wire::PutU16(out, m_port);
    wire::PutAddress(out, m_address);
    for (const CHitEntry& entry : m_entries)
        entry.EncodeTo(out);
    wire::PutId(out, m_serventId);
    return out;
}

std::optional<CQueryHitMessage> CQueryHitMessage::Decode(const std::uint8_t* data,
                                                         std::size_t size) {
    if (size < CMessageHeader::kSize + kFixedPayloadLength)
        return std::nullopt;
    CQueryHitMessage hit;
    hit.m_header = *CMessageHeader::Decode(data, size);
    hit.m_hitCount = wire::GetU8(data + kCountOffset);
    hit.m_port = wire::GetU16(data + kPortOffset);
    hit.m_address = wire::GetAddress(data + kAddressOffset);

    std::size_t at = kEntriesOffset;
    for (unsigned i = 0; i < hit.m_hitCount; ++i) {
        // An entry whose fixed fields would run past the message cannot be
        // read, and neither can any after it.
        if (size - at < CHitEntry::kFixedSize)
            break;
        CHitEntry entry;
        entry.SetThreadId(wire::GetId(data + at));
        entry.SetTime(wire::GetU32(data + at + 16));
        entry.SetResCount(wire::GetU16(data + at + 20));
        wire::SStringRun run = wire::ReadStrings(data, at + CHitEntry::kFixedSize, size, 3);
        at = run.next;
        if (run.terminators == 0)
            continue;
        entry.SetTitle(std::move(run.texts[0]));
        entry.SetName(std::move(run.texts[1]));
        entry.SetCategory(std::move(run.texts[2]));
        hit.m_entries.push_back(std::move(entry));
    }
    hit.m_serventId = wire::GetId(data + size - kServentIdSize);
    return hit;
}
