// CHitEntry: the encoding of one thread summary.
#include "protocol/wire/HitEntry.h"

#include "protocol/wire/WireCoding.h"

std::size_t CHitEntry::EncodedSize() const {
    return kFixedSize + wire::WireTextSize(m_title) + wire::WireTextSize(m_name) +
           wire::WireTextSize(m_category);
}

void CHitEntry::EncodeTo(std::string& out) const {
    wire::PutId(out, m_threadId);
    wire::PutU32(out, m_time);
    wire::PutU16(out, m_resCount);
    wire::PutText(out, m_title);
    wire::PutText(out, m_name);
    wire::PutText(out, m_category);
}
