// Tests of CIPv4Address: reading dotted text, the octet text and the
// private-range test used for the own address.
#include "base/IPv4Address.h"

#include <gtest/gtest.h>

namespace {

CIPv4Address FromText(const char* text) {
    CIPv4Address address;
    address.SetText(text);
    return address;
}

} // namespace

TEST(IPv4AddressTest, PrivateRangesAreRecognised) {
    EXPECT_TRUE(FromText("10.0.0.2").IsPrivate());
    EXPECT_TRUE(FromText("172.16.0.1").IsPrivate());
    EXPECT_TRUE(FromText("172.31.255.255").IsPrivate());
    EXPECT_TRUE(FromText("192.168.0.5").IsPrivate());
}

TEST(IPv4AddressTest, NeighboursOfPrivateRangesAndLoopbackAreNotPrivate) {
    EXPECT_FALSE(FromText("172.32.0.1").IsPrivate());
    EXPECT_FALSE(FromText("172.15.0.1").IsPrivate());
    EXPECT_FALSE(FromText("192.169.0.1").IsPrivate());
    EXPECT_FALSE(FromText("127.0.0.1").IsPrivate());
    EXPECT_FALSE(FromText("11.0.0.1").IsPrivate());
}

TEST(IPv4AddressTest, TextGivesOctetsInWrittenOrder) {
    CIPv4Address address = FromText("192.168.3.44");
    EXPECT_EQ(address.GetOctets(), (CIPv4Address::Octets{192, 168, 3, 44}));
    EXPECT_EQ(address.GetText(), "192.168.3.44");
}

TEST(IPv4AddressTest, OctetsGiveDottedText) {
    const std::uint8_t octets[4] = {10, 0, 255, 7};
    CIPv4Address address;
    address.SetOctets(octets);
    EXPECT_EQ(address.GetText(), "10.0.255.7");
}

TEST(IPv4AddressTest, OddTextsNeverFail) {
    EXPECT_EQ(FromText("300.1.2.3").GetOctets()[0], 300 % 256);
    EXPECT_EQ(FromText("").GetOctets(), (CIPv4Address::Octets{0, 0, 0, 0}));
    EXPECT_EQ(FromText("1.2").GetOctets(), (CIPv4Address::Octets{1, 2, 0, 0}));
    EXPECT_EQ(FromText("1.2.3.4.5").GetText(), "1.2.3.4.5");
}
