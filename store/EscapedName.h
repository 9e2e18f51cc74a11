// CEscapedName: a category turned into a file-name component. ASCII capitals
// are lowered (double-byte Shift_JIS characters stay whole, even when a trail
// byte looks like a capital), then every byte is written as "%" and two
// lowercase hex digits. Categories that differ only in ASCII case so share
// one index directory. Plain value; any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class CEscapedName {
public:
    // The longest escaped name kept whole: with ".index" after it, a file
    // name must stay within the 255 bytes that file systems allow.
    static constexpr std::size_t kMaxLength = 249;

    explicit CEscapedName(std::string_view category);

    // A name that would be longer than kMaxLength keeps its first escaped
    // bytes and ends in "~" and a hash of the whole lowered category, so a
    // long category still gets its own directory.
    const std::string& GetText() const { return m_text; }

    static std::string Lowercase(std::string_view category);

private:
    std::string m_text;
};
