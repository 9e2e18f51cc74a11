// Fuzz target: the line reader and the line parser. The input is read once
// whole and once in chunks whose sizes come from the input; both must give the
// same lines, and every line goes through the parser.
#include "protocol/wire/LineReader.h"
#include "protocol/wire/RequestParser.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

std::vector<std::string> Lines(const std::uint8_t* data, std::size_t size, std::uint8_t seed,
                               bool* failed) {
    CLineReader reader;
    CServentRequest request;
    std::vector<std::string> lines;
    std::size_t at = 0;
    unsigned step = seed;
    while (at < size) {
        std::size_t chunk = size - at;
        if (seed != 0) {
            step = step * 37 + 11;
            chunk = std::min<std::size_t>(chunk, 1 + step % 97);
        }
        std::size_t taken = 0;
        while (taken < chunk) {
            const auto result = reader.Read(data + at + taken, chunk - taken);
            Check(result.consumed <= chunk - taken);
            taken += result.consumed;
            if (result.status == CLineReader::EStatus::Error) {
                *failed = true;
                return lines;
            }
            if (result.status == CLineReader::EStatus::Line) {
                const std::string& line = reader.Line();
                Check(line.size() <= CLineReader::kMaxLineLength);
                Check(line.find_first_of("\r\n") == std::string::npos);
                const SServentLine parsed = ParseServentLine(line, request);
                Check(!parsed.postMode || parsed.kind == EServentLine::Request);
                Check(request.threadId.size() <= CLineReader::kMaxLineLength);
                Check(request.resId.size() <= CLineReader::kMaxLineLength);
                lines.push_back(line);
            } else {
                Check(taken == chunk); // NeedMore takes everything it is given
            }
        }
        at += chunk;
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t seed = data[0];
    ++data;
    --size;

    bool wholeFailed = false;
    bool chunkedFailed = false;
    const auto whole = Lines(data, size, 0, &wholeFailed);
    const auto chunked = Lines(data, size, seed | 1, &chunkedFailed);
    Check(whole == chunked);
    Check(wholeFailed == chunkedFailed);
    return 0;
}
