// The primitive fields every store file and transfer body is made of: u16,
// time, id, short text, long text and id list, all little-endian. Writers
// append to a byte buffer; CFieldReader reads from a bounded byte view. Plain
// code; any thread.
#pragma once

#include "base/BinaryId.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace field {

inline constexpr std::size_t kU16Size = 2;
inline constexpr std::size_t kTimeSize = 4;
inline constexpr std::size_t kIdSize = 16;
inline constexpr std::size_t kShortTextMax = 255;
inline constexpr std::size_t kLongTextMax = 65535;

void PutU16(std::string& out, std::uint16_t value);
void PutTime(std::string& out, std::uint32_t value);
// The null identifier is written as 16 zero bytes.
void PutId(std::string& out, const CBinaryId& id);
// A text longer than its field is cut at the limit, never inside a
// double-byte character; the length written matches the bytes written.
void PutShortText(std::string& out, std::string_view text);
void PutLongText(std::string& out, std::string_view text);
// Ids back to back with no count.
void PutIdList(std::string& out, const std::vector<CBinaryId>& ids);

// Reads fields in order from a byte view it does not own. A field that is
// not wholly there is not read: its output is left as it was, and the reader
// fails from then on, so every later field of a short record keeps its
// earlier value too. Never reads past the view.
class CFieldReader {
public:
    explicit CFieldReader(std::string_view data) : m_data(data) {}

    bool ReadU16(std::uint16_t& value);
    bool ReadTime(std::uint32_t& value);
    bool ReadId(CBinaryId& id);
    bool ReadShortText(std::string& text);
    bool ReadLongText(std::string& text);
    // Every whole id left in the view, appended; a trailing partial id is
    // ignored. Returns the number appended.
    std::size_t ReadIdList(std::vector<CBinaryId>& ids);

    bool Failed() const { return m_failed; }
    std::size_t Consumed() const { return m_pos; }
    std::size_t Remaining() const { return m_data.size() - m_pos; }

private:
    bool Take(std::size_t count, std::string_view& bytes);

    std::string_view m_data;
    std::size_t m_pos = 0;
    bool m_failed = false;
};

} // namespace field
