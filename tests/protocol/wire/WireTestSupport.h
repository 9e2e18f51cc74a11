// Small helpers shared by the wire format tests.
#pragma once

#include "base/BinaryId.h"
#include "base/IPv4Address.h"

#include <cstdint>
#include <string>

namespace wiretest {

inline const std::uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

inline CBinaryId Id(const char* text) {
    return CBinaryId::FromText(text);
}

inline CIPv4Address Address(const char* text) {
    CIPv4Address address;
    address.SetText(text);
    return address;
}

inline const char* const kMessageId = "0123456789abcdef0123456789abcdef";
inline const char* const kThreadId = "fedcba9876543210fedcba9876543210";
inline const char* const kServentId = "11111111222222223333333344444444";

} // namespace wiretest
