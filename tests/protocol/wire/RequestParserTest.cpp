// Tests of ParseServentLine: handshake lines, Reflect, Content-Length and
// request lines, in the order the rules are tried.
#include "protocol/wire/RequestParser.h"

#include <gtest/gtest.h>

namespace {

TEST(RequestParserTest, HandshakeLinesAreRecognisedExactly) {
    CServentRequest request;
    EXPECT_EQ(ParseServentLine("PELMAR CONNECT/0.1", request).kind, EServentLine::Connect);
    EXPECT_EQ(ParseServentLine("PELMAR OK", request).kind, EServentLine::ConnectOk);
    EXPECT_EQ(ParseServentLine("PELMAR CONNECT/1.0", request).kind, EServentLine::ConnectRefuse);
    EXPECT_EQ(ParseServentLine("pelmar connect/0.1", request).kind, EServentLine::Ignored);
    EXPECT_EQ(ParseServentLine("PELMAR OK ", request).kind, EServentLine::Ignored);
}

TEST(RequestParserTest, ReflectValueLosesLeadingWhiteSpace) {
    CServentRequest request;
    const SServentLine line = ParseServentLine("Reflect:  203.0.113.9", request);
    EXPECT_EQ(line.kind, EServentLine::Reflect);
    EXPECT_EQ(line.reflectAddress, "203.0.113.9");
}

TEST(RequestParserTest, ReflectAnywhereTakesTextAfterFirstColon) {
    CServentRequest request;
    const SServentLine line = ParseServentLine("X-A: b Reflect: 1.2.3.4", request);
    EXPECT_EQ(line.kind, EServentLine::Reflect);
    EXPECT_EQ(line.reflectAddress, "b Reflect: 1.2.3.4");
    EXPECT_EQ(ParseServentLine("Reflect:", request).reflectAddress, "");
}

TEST(RequestParserTest, GetLineGivesPathThreadIdAndResId) {
    CServentRequest request;
    const SServentLine line =
        ParseServentLine("GET /get_thread/?threadid=abc&resid=5 HTTP/1.1", request);
    EXPECT_EQ(line.kind, EServentLine::Request);
    EXPECT_FALSE(line.postMode);
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.path, "/get_thread/");
    EXPECT_EQ(request.version, "HTTP/1.1");
    EXPECT_EQ(request.threadId, "abc");
    EXPECT_EQ(request.resId, "5");
}

TEST(RequestParserTest, UrlWithoutQuestionMarkHasEmptyPath) {
    CServentRequest request;
    ParseServentLine("GET /get_thread/ HTTP/1.0", request);
    EXPECT_EQ(request.path, "");
    EXPECT_EQ(request.threadId, "");
    EXPECT_EQ(request.resId, "");
}

TEST(RequestParserTest, ThreadIdEndsAtFirstAmpersandOfWholeQuery) {
    CServentRequest request;
    ParseServentLine("GET /get_res_list/?resid=1&threadid=abc HTTP/1.0", request);
    EXPECT_EQ(request.path, "/get_res_list/");
    EXPECT_EQ(request.threadId, "");
    EXPECT_EQ(request.resId, "1&threadid=abc");
    ParseServentLine("GET /get_res_list/?threadid=abc&x=1&resid=2&y HTTP/1.0", request);
    EXPECT_EQ(request.threadId, "abc");
    EXPECT_EQ(request.resId, "2&y");
}

TEST(RequestParserTest, BadVersionIsIgnoredButPostModeIsStillSet) {
    CServentRequest request;
    const SServentLine line = ParseServentLine("POST /get_thread/?threadid=abc HTTP/2.0", request);
    EXPECT_EQ(line.kind, EServentLine::Request);
    EXPECT_TRUE(line.postMode);
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "");
    EXPECT_EQ(request.threadId, "");
    EXPECT_EQ(request.version, "");

    const SServentLine bare = ParseServentLine("POST /get_thread/?threadid=abc", request);
    EXPECT_TRUE(bare.postMode);
    EXPECT_EQ(request.threadId, "");
}

TEST(RequestParserTest, LinesWithoutUsableFirstWordAreIgnored) {
    CServentRequest request;
    EXPECT_EQ(ParseServentLine("GET", request).kind, EServentLine::Ignored);
    EXPECT_EQ(ParseServentLine(" GET / HTTP/1.0", request).kind, EServentLine::Ignored);
    EXPECT_EQ(ParseServentLine("HEAD / HTTP/1.0", request).kind, EServentLine::Ignored);
    EXPECT_EQ(ParseServentLine("", request).kind, EServentLine::Ignored);
    EXPECT_EQ(request.method, "");
}

TEST(RequestParserTest, ContentLengthIsReadInFullAndBounded) {
    CServentRequest request;
    EXPECT_EQ(ParseServentLine("Content-Length: \t 70000xyz", request).kind,
              EServentLine::ContentLength);
    EXPECT_EQ(request.lengthName, "Content-Length:");
    EXPECT_EQ(request.contentLength, 70000u);
    ParseServentLine("Content-Length: +32", request);
    EXPECT_EQ(request.contentLength, 32u);
    ParseServentLine("Content-Length: -32", request);
    EXPECT_EQ(request.contentLength, 0u);
    ParseServentLine("Content-Length: none", request);
    EXPECT_EQ(request.contentLength, 0u);
    ParseServentLine("Content-Length: 99999999999999999999999", request);
    EXPECT_EQ(request.contentLength, 0xffffffffu);
    EXPECT_EQ(ParseServentLine("content-length: 5", request).kind, EServentLine::Ignored);
}

} // namespace
