// Tests of the joining texts: entry points, reflector URLs, the request bytes
// and the reading of reflector replies.
#include "app/ReflectorReply.h"

#include <gtest/gtest.h>

namespace {

const std::string kPad = "12345678901234567890"; // the 20 characters every line skips

std::string Reply(const std::vector<std::string>& lines) {
    std::string reply = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";
    for (const std::string& line : lines)
        reply += line + "\r\n";
    return reply;
}

} // namespace

TEST(ReflectorRequestTest, PathWithoutQueryGetsQuestionMarkPort) {
    EXPECT_EQ(BuildReflectorRequest(AddPortQuery("/cgi-bin/reflect.cgi", 6346)),
              "GET /cgi-bin/reflect.cgi?port=6346 HTTP/1.0\r\n"
              "User-Agent: pelmar servent/0.1.2\r\n\r\n");
}

TEST(ReflectorRequestTest, PathWithQueryGetsAmpersandPort) {
    EXPECT_EQ(BuildReflectorRequest(AddPortQuery("/r.cgi?net=main", 7000)),
              "GET /r.cgi?net=main&port=7000 HTTP/1.0\r\n"
              "User-Agent: pelmar servent/0.1.2\r\n\r\n");
}

TEST(ReflectorUrlTest, HostAndPathAreSplitAtFirstSlash) {
    CReflectorUrl url;
    ASSERT_TRUE(ParseReflectorUrl("http://reflector.example/cgi/r.cgi?x=/y", url));
    EXPECT_EQ(url.host, "reflector.example");
    EXPECT_EQ(url.port, 80);
    EXPECT_EQ(url.path, "/cgi/r.cgi?x=/y");
}

TEST(ReflectorUrlTest, NamedPortIsUsedAndMissingPathIsRoot) {
    CReflectorUrl url;
    ASSERT_TRUE(ParseReflectorUrl("http://127.0.0.1:8080/reflect", url));
    EXPECT_EQ(url.host, "127.0.0.1");
    EXPECT_EQ(url.port, 8080);
    EXPECT_EQ(url.path, "/reflect");
    ASSERT_TRUE(ParseReflectorUrl("http://127.0.0.1:8081", url));
    EXPECT_EQ(url.port, 8081);
    EXPECT_EQ(url.path, "/");
}

TEST(ReflectorUrlTest, UnusableUrlsAreRefused) {
    CReflectorUrl url;
    EXPECT_FALSE(ParseReflectorUrl("ftp://host/", url));
    EXPECT_FALSE(ParseReflectorUrl("http:///path", url));
    EXPECT_FALSE(ParseReflectorUrl("http://host:0/", url));
    EXPECT_FALSE(ParseReflectorUrl("http://host:70000/", url));
    EXPECT_FALSE(ParseReflectorUrl("http://host:80x/", url));
}

TEST(EntryTextTest, HostAloneUsesPort6340AndHostPortUsesItsDigits) {
    CHostPort entry = ParseEntryText("192.168.0.5");
    EXPECT_EQ(entry.host, "192.168.0.5");
    EXPECT_EQ(entry.port, 6340);
    entry = ParseEntryText("192.168.0.5:7000");
    EXPECT_EQ(entry.host, "192.168.0.5");
    EXPECT_EQ(entry.port, 7000);
}

TEST(EntryTextTest, PortReadsLeadingDigitsInSixteenBits) {
    EXPECT_EQ(ParseEntryText("host:7000abc").port, 7000);
    EXPECT_EQ(ParseEntryText("host:").port, 0);
    EXPECT_EQ(ParseEntryText("host:x1").port, 0);
    EXPECT_EQ(ParseEntryText("host:65537").port, 1);
}

TEST(EntryTextTest, ReflectorEntriesContainTheScheme) {
    EXPECT_TRUE(IsReflectorEntry("http://host/r.cgi"));
    EXPECT_TRUE(IsReflectorEntry(" http://host/r.cgi"));
    EXPECT_FALSE(IsReflectorEntry("host:6340"));
}

TEST(ReflectorReplyTest, NineLineReplyUsesLinesTwoToFive) {
    std::vector<std::string> lines{kPad + "203.0.113.9:open"};
    for (int i = 1; i <= 8; ++i)
        lines.push_back(kPad + "198.51.100." + std::to_string(i) + ":" + std::to_string(6340 + i));
    CReflectorReply reply = CReflectorReply::Parse(CReflectorReply::SplitBody(Reply(lines)));
    ASSERT_TRUE(reply.hasReport);
    EXPECT_EQ(reply.address, "203.0.113.9");
    EXPECT_EQ(reply.status, "open");
    ASSERT_EQ(reply.peers.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(reply.peers[i].host, "198.51.100." + std::to_string(i + 1));
        EXPECT_EQ(reply.peers[i].port, 6341 + i);
    }
}

TEST(ReflectorReplyTest, ColonInsideTheSkippedCharactersIsNotTheSeparator) {
    std::string address, status;
    ASSERT_TRUE(
        CReflectorReply::ParseReport("REMOTE_ADDR:PORT:   10.1.2.3:close", address, status));
    EXPECT_EQ(address, "10.1.2.3");
    EXPECT_EQ(status, "close");
}

TEST(ReflectorReplyTest, ShortAndColonlessLinesAreSkippedOneByOne) {
    std::vector<std::string> lines{"short:open",      kPad + "192.0.2.1:6340", "tiny:1",
                                   kPad + "no-colon", kPad + ":6342",          kPad + "x:6343"};
    CReflectorReply reply = CReflectorReply::Parse(CReflectorReply::SplitBody(Reply(lines)));
    EXPECT_FALSE(reply.hasReport);
    ASSERT_EQ(reply.peers.size(), 1u); // line six lies beyond the fifth and stays unread
    EXPECT_EQ(reply.peers[0].host, "192.0.2.1");
    EXPECT_EQ(reply.peers[0].port, 6340);
}

TEST(ReflectorReplyTest, ExactlyTwentyCharactersHoldNothing) {
    std::string address, status;
    EXPECT_FALSE(CReflectorReply::ParseReport(kPad, address, status));
    CHostPort peer;
    EXPECT_FALSE(CReflectorReply::ParsePeer(kPad, peer));
}

TEST(ReflectorReplyTest, ReplyWithoutEmptyLineHasNoBody) {
    EXPECT_TRUE(CReflectorReply::SplitBody("HTTP/1.0 200 OK\r\n" + kPad + "1.2.3.4:open").empty());
    EXPECT_TRUE(CReflectorReply::SplitBody("").empty());
}

TEST(ReflectorReplyTest, LastPieceWithoutLineEndStillCounts) {
    std::vector<std::string> lines =
        CReflectorReply::SplitBody("HTTP/1.0 200 OK\r\n\r\nfirst\r\n\r\nlast");
    EXPECT_EQ(lines, (std::vector<std::string>{"first", "", "last"}));
}

TEST(ReflectorReplyTest, BodyEndingInLineEndHasNoTrailingEmptyLine) {
    EXPECT_EQ(CReflectorReply::SplitBody("H\r\n\r\na\r\nb\r\n"),
              (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(CReflectorReply::SplitBody("H\r\n\r\n").empty());
}
