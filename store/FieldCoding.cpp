// Field primitives: little-endian integers, raw id bytes, length-prefixed
// Shift_JIS texts. Plain code; any thread.
#include "store/FieldCoding.h"

#include "base/ShiftJis.h"

namespace field {

void PutU16(std::string& out, std::uint16_t value) {
    out += static_cast<char>(value & 0xff);
    out += static_cast<char>((value >> 8) & 0xff);
}

void PutTime(std::string& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out += static_cast<char>((value >> shift) & 0xff);
}

void PutId(std::string& out, const CBinaryId& id) {
    if (id.IsNull()) {
        out.append(kIdSize, '\0');
        return;
    }
    const auto& bytes = id.GetBytes();
    out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void PutShortText(std::string& out, std::string_view text) {
    const std::size_t length = shiftjis::FitLength(text, kShortTextMax);
    out += static_cast<char>(length);
    out.append(text.substr(0, length));
}

void PutLongText(std::string& out, std::string_view text) {
    const std::size_t length = shiftjis::FitLength(text, kLongTextMax);
    PutU16(out, static_cast<std::uint16_t>(length));
    out.append(text.substr(0, length));
}

void PutIdList(std::string& out, const std::vector<CBinaryId>& ids) {
    for (const CBinaryId& id : ids)
        PutId(out, id);
}

bool CFieldReader::Take(std::size_t count, std::string_view& bytes) {
    if (m_failed || Remaining() < count) {
        m_failed = true;
        return false;
    }
    bytes = m_data.substr(m_pos, count);
    m_pos += count;
    return true;
}

bool CFieldReader::ReadU16(std::uint16_t& value) {
    std::string_view bytes;
    if (!Take(kU16Size, bytes))
        return false;
    value = static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[0]) |
                                       (static_cast<unsigned char>(bytes[1]) << 8));
    return true;
}

bool CFieldReader::ReadTime(std::uint32_t& value) {
    std::string_view bytes;
    if (!Take(kTimeSize, bytes))
        return false;
    std::uint32_t result = 0;
    for (int i = 3; i >= 0; --i)
        result = (result << 8) | static_cast<unsigned char>(bytes[i]);
    value = result;
    return true;
}

bool CFieldReader::ReadId(CBinaryId& id) {
    std::string_view bytes;
    if (!Take(kIdSize, bytes))
        return false;
    id.SetBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()));
    return true;
}

bool CFieldReader::ReadShortText(std::string& text) {
    // Length and bytes are taken together, so a cut-off text leaves the
    // reader where it was.
    if (m_failed || Remaining() < 1) {
        m_failed = true;
        return false;
    }
    const std::size_t length = static_cast<unsigned char>(m_data[m_pos]);
    if (Remaining() < 1 + length) {
        m_failed = true;
        return false;
    }
    text.assign(m_data.substr(m_pos + 1, length));
    m_pos += 1 + length;
    return true;
}

bool CFieldReader::ReadLongText(std::string& text) {
    if (m_failed || Remaining() < kU16Size) {
        m_failed = true;
        return false;
    }
    const std::size_t length = static_cast<unsigned char>(m_data[m_pos]) |
                               (static_cast<unsigned char>(m_data[m_pos + 1]) << 8);
    if (Remaining() < kU16Size + length) {
        m_failed = true;
        return false;
    }
    text.assign(m_data.substr(m_pos + kU16Size, length));
    m_pos += kU16Size + length;
    return true;
}

std::size_t CFieldReader::ReadIdList(std::vector<CBinaryId>& ids) {
    std::size_t count = 0;
    while (!m_failed && Remaining() >= kIdSize) {
        CBinaryId id;
        ReadId(id);
        ids.push_back(id);
        ++count;
    }
    return count;
}

} // namespace field
