// Parsing of handshake, header and request lines.
#include "protocol/wire/RequestParser.h"

#include <cstdint>
#include <limits>

namespace {

constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";

std::string_view TrimLeft(std::string_view text) {
    const std::size_t start = text.find_first_not_of(kWhiteSpace);
    return start == std::string_view::npos ? std::string_view{} : text.substr(start);
}

// Leading white space and a sign allowed, digits up to the first other byte,
// no digits giving 0. A negative length means nothing to read, so it is 0; a
// value past 32 bits stays at the largest one so the endpoint refuses it.
std::uint32_t ReadLength(std::string_view text) {
    text = TrimLeft(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > std::numeric_limits<std::uint32_t>::max())
            value = std::uint64_t{std::numeric_limits<std::uint32_t>::max()} + 1;
    }
    if (negative)
        return 0;
    return value > std::numeric_limits<std::uint32_t>::max()
               ? std::numeric_limits<std::uint32_t>::max()
               : static_cast<std::uint32_t>(value);
}

void ParseRequestLine(std::string_view word, std::string_view line, std::size_t firstSpace,
                      CServentRequest& request, SServentLine& result) {
    result.kind = EServentLine::Request;
    request.method.assign(word);
    result.postMode = word == "POST";

    const std::size_t secondSpace = line.find(' ', firstSpace + 1);
    if (secondSpace == std::string_view::npos)
        return;
    const std::string_view url = line.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    const std::string_view version = line.substr(secondSpace + 1);
    if (version != "HTTP/1.0" && version != "HTTP/1.1")
        return;
    request.version.assign(version);

    const std::size_t question = url.find('?');
    std::string_view query = url;
    if (question == std::string_view::npos) {
        request.path.clear();
    } else {
        request.path.assign(url.substr(0, question));
        query = url.substr(question + 1);
    }

    // The value ends at the first "&" of the whole query; one before the
    // value leaves it empty.
    request.threadId.clear();
    const std::size_t threadIdAt = query.find("threadid=");
    if (threadIdAt != std::string_view::npos) {
        const std::size_t start = threadIdAt + 9;
        const std::size_t amp = query.find('&');
        const std::size_t stop = amp == std::string_view::npos ? query.size() : amp;
        if (stop > start)
            request.threadId.assign(query.substr(start, stop - start));
    }

    request.resId.clear();
    const std::size_t resIdAt = query.find("resid=");
    if (resIdAt != std::string_view::npos)
        request.resId.assign(query.substr(resIdAt + 6));
}

} // namespace

SServentLine ParseServentLine(std::string_view line, CServentRequest& request) {
    SServentLine result;
    if (line == "PELMAR CONNECT/0.1") {
        result.kind = EServentLine::Connect;
        return result;
    }
    if (line == "PELMAR OK") {
        result.kind = EServentLine::ConnectOk;
        return result;
    }
    if (line == "PELMAR CONNECT/1.0") {
        result.kind = EServentLine::ConnectRefuse;
        return result;
    }
    if (line.find("Reflect:") != std::string_view::npos) {
        result.kind = EServentLine::Reflect;
        result.reflectAddress.assign(TrimLeft(line.substr(line.find(':') + 1)));
        return result;
    }

    const std::size_t firstSpace = line.find(' ');
    if (firstSpace == std::string_view::npos || firstSpace == 0)
        return result;
    const std::string_view word = line.substr(0, firstSpace);
    if (word == "Content-Length:") {
        result.kind = EServentLine::ContentLength;
        request.lengthName.assign(word);
        request.contentLength = ReadLength(line.substr(firstSpace + 1));
    } else if (word == "GET" || word == "POST") {
        ParseRequestLine(word, line, firstSpace, request, result);
    }
    return result;
}
