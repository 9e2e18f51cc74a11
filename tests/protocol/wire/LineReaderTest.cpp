// Tests of CLineReader: line ends, dropped "\r", where the rest of a chunk
// starts, and the line length bound.
#include "protocol/wire/LineReader.h"

#include "WireTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace wiretest;

namespace {

// Reads the whole chunk and returns its lines; `rest` gets the offset just
// after the first blank line (or the chunk size when there is none).
std::vector<std::string> ReadLines(CLineReader& reader, const std::string& chunk,
                                   std::size_t* rest = nullptr, bool* failed = nullptr) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    if (rest)
        *rest = chunk.size();
    bool restSet = false;
    while (at < chunk.size()) {
        const auto result = reader.Read(Bytes(chunk) + at, chunk.size() - at);
        at += result.consumed;
        if (result.status == CLineReader::EStatus::Error) {
            if (failed)
                *failed = true;
            break;
        }
        if (result.status == CLineReader::EStatus::Line) {
            lines.push_back(reader.Line());
            if (reader.Line().empty() && rest && !restSet) {
                *rest = at;
                restSet = true;
            }
        }
    }
    return lines;
}

TEST(LineReaderTest, CarriageReturnsAreDroppedAnywhere) {
    CLineReader reader;
    const auto lines = ReadLines(reader, "PELMAR\r OK\r\n\rReflect: 1.2.3.4\r\r\n\r\n");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "PELMAR OK");
    EXPECT_EQ(lines[1], "Reflect: 1.2.3.4");
    EXPECT_EQ(lines[2], "");
}

TEST(LineReaderTest, LineSplitAcrossChunksIsJoined) {
    CLineReader reader;
    EXPECT_TRUE(ReadLines(reader, "PELMAR CON").empty());
    EXPECT_TRUE(ReadLines(reader, "NECT/0.1\r").empty());
    const auto lines = ReadLines(reader, "\n");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "PELMAR CONNECT/0.1");
}

TEST(LineReaderTest, BytesAfterBlankLineAreLeftForTheCaller) {
    CLineReader reader;
    std::size_t rest = 0;
    const std::string chunk = std::string("PELMAR OK\r\n\r\n") + std::string("\x01\x00\n\n", 4);
    const auto lines = ReadLines(reader, chunk, &rest);
    EXPECT_EQ(rest, 13u);
    EXPECT_EQ(lines[0], "PELMAR OK");
    EXPECT_EQ(lines[1], "");
}

TEST(LineReaderTest, LineAtTheLimitIsAcceptedAndOneMoreByteFails) {
    CLineReader reader;
    auto lines = ReadLines(reader, std::string(8192, 'a') + "\r\n");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), 8192u);

    bool failed = false;
    lines = ReadLines(reader, std::string(8000, 'b'), nullptr, &failed);
    EXPECT_FALSE(failed);
    lines = ReadLines(reader, std::string(193, 'b'), nullptr, &failed);
    EXPECT_TRUE(failed);
    EXPECT_TRUE(reader.HasFailed());
    EXPECT_EQ(reader.Read(Bytes("x\n"), 2).status, CLineReader::EStatus::Error);
}

TEST(LineReaderTest, CarriageReturnsDoNotCountTowardsTheLimit) {
    CLineReader reader;
    std::string chunk;
    for (int i = 0; i < 8192; ++i)
        chunk += "a\r";
    bool failed = false;
    const auto lines = ReadLines(reader, chunk + "\n", nullptr, &failed);
    EXPECT_FALSE(failed);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], std::string(8192, 'a'));
}

} // namespace
