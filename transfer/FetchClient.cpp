// CFetchClient: the transfer requests and their reply reading. Fetch worker
// thread only.
#include "transfer/FetchClient.h"

#include "transfer/BlockingSocket.h"

#include <algorithm>

namespace {

constexpr std::size_t kIdSize = 16;
// Between two chunk-size lines only the CR LF that closes a chunk may stand.
constexpr int kMaxEmptyLinesBeforeSize = 2;

// Leading decimal digits after optional spaces; false when there are none or
// the value passes limit.
bool ParseDecimal(std::string_view text, std::size_t limit, std::size_t& value) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
    const std::size_t first = at;
    value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = value * 10 + static_cast<std::size_t>(text[at] - '0');
        if (value > limit)
            return false;
    }
    return at > first;
}

// A chunk-size line: hexadecimal digits, then anything (an extension).
bool ParseChunkSize(std::string_view line, std::size_t limit, std::size_t& value) {
    std::size_t at = 0;
    value = 0;
    for (; at < line.size(); ++at) {
        const char c = line[at];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            break;
        value = value * 16 + static_cast<std::size_t>(digit);
        if (value > limit)
            return false;
    }
    return at > 0;
}

} // namespace

CFetchClient::CFetchClient(CBlockingSocket& socket, std::function<bool()> stopping,
                           CSlowHolderRule slowRule)
    : m_socket(socket), m_stopping(std::move(stopping)), m_slowRule(slowRule) {}

bool CFetchClient::SendRequest(const std::string& bytes) {
    if (m_tooSlow)
        return false;
    m_socket.HeaderLine().clear();
    m_requestStart = std::chrono::steady_clock::now();
    m_requestBytes = 0;
    return m_socket.Send(bytes) == static_cast<int>(bytes.size());
}

bool CFetchClient::Fill() {
    if (m_readAt == m_pending.size()) {
        m_pending.clear();
        m_readAt = 0;
    } else if (m_readAt >= kReceiveBufferSize) {
        m_pending.erase(0, m_readAt);
        m_readAt = 0;
    }
    if (m_closed || m_tooSlow || (m_stopping && m_stopping()))
        return false;
    std::vector<char>& buffer = m_socket.ReceiveBuffer();
    if (buffer.size() < kReceiveBufferSize)
        buffer.resize(kReceiveBufferSize);
    const int got = m_socket.Receive(buffer.data(), buffer.size());
    if (got == 0)
        m_closed = true;
    if (got <= 0)
        return false;
    m_pending.append(buffer.data(), static_cast<std::size_t>(got));
    m_requestBytes += static_cast<std::size_t>(got);
    m_tooSlow = TooSlow();
    return !m_tooSlow;
}

bool CFetchClient::TooSlow() const {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - m_requestStart);
    if (elapsed < m_slowRule.grace)
        return false;
    const auto needed =
        static_cast<std::size_t>(elapsed.count()) * m_slowRule.minBytesPerSecond / 1000;
    return m_requestBytes < needed;
}

bool CFetchClient::ReadLine(std::string& line) {
    std::size_t searchFrom = m_readAt;
    for (;;) {
        const std::size_t end = m_pending.find('\n', searchFrom);
        if (end != std::string::npos) {
            line.assign(m_pending, m_readAt, end - m_readAt);
            m_readAt = end + 1;
            line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
            return true;
        }
        if (m_pending.size() - m_readAt > kMaxLineLength)
            return false;
        const std::size_t scanned = m_pending.size() - m_readAt;
        if (!Fill())
            return false;
        searchFrom = m_readAt + scanned; // Fill may have moved the unread bytes
    }
}

bool CFetchClient::ReadBytes(std::size_t count, std::string& out) {
    while (m_pending.size() - m_readAt < count)
        if (!Fill())
            return false;
    out.assign(m_pending, m_readAt, count);
    m_readAt += count;
    return true;
}

CFetchClient::EHeader CFetchClient::ReadHeader(std::size_t& contentLength, bool& hasLength) {
    contentLength = 0;
    hasLength = false;
    std::string line;
    if (!ReadLine(line))
        return EHeader::Failed;
    // "HTTP/1.0 200 OK": the status is the second word.
    EHeader status = EHeader::Failed;
    if (line.rfind("HTTP/", 0) == 0) {
        const std::size_t space = line.find(' ');
        const std::string code = space == std::string::npos ? "" : line.substr(space + 1, 3);
        if (code == "200")
            status = EHeader::Ok;
        else if (code == "404")
            status = EHeader::NotFound;
    }
    for (std::size_t count = 0;; ++count) {
        if (count == kMaxHeaderLines || !ReadLine(line))
            return EHeader::Failed;
        if (line.empty())
            return status;
        const std::size_t space = line.find(' ');
        if (space != std::string::npos && line.compare(0, space, "Content-Length:") == 0) {
            if (!ParseDecimal(std::string_view(line).substr(space + 1), kMaxBodyLength,
                              contentLength))
                return EHeader::Failed; // unreadable, or longer than any file may be
            hasLength = true;
        }
    }
}

bool CFetchClient::ReadBody(std::size_t contentLength, bool hasLength, std::string& body) {
    if (hasLength)
        return ReadBytes(contentLength, body);
    // Without a length the body ends where the holder closes the connection.
    while (Fill())
        if (m_pending.size() - m_readAt > kMaxBodyLength)
            return false;
    if (!m_closed)
        return false; // timed out or failed: the reply may be cut short
    body.assign(m_pending, m_readAt, std::string::npos);
    m_readAt = m_pending.size();
    return true;
}

std::vector<CBinaryId> CFetchClient::GetResList(const CBinaryId& threadId) {
    std::vector<CBinaryId> ids;
    if (!SendRequest("GET /get_res_list/?threadid=" + threadId.GetText() + " HTTP/1.0\r\n\r\n"))
        return ids;
    std::size_t length = 0;
    bool hasLength = false;
    std::string body;
    if (ReadHeader(length, hasLength) != EHeader::Ok || !ReadBody(length, hasLength, body))
        return ids;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(body.data());
    ids.reserve(body.size() / kIdSize);
    for (std::size_t at = 0; at + kIdSize <= body.size(); at += kIdSize)
        ids.push_back(CBinaryId::FromBytes(bytes + at));
    return ids;
}

bool CFetchClient::GetThreadFile(const CBinaryId& threadId, const CBinaryId* resId,
                                 std::string& body) {
    std::string request = "GET /get_thread/?threadid=" + threadId.GetText();
    if (resId)
        request += "&resid=" + resId->GetText();
    request += " HTTP/1.0\r\n\r\n";
    if (!SendRequest(request))
        return false;
    std::size_t length = 0;
    bool hasLength = false;
    return ReadHeader(length, hasLength) == EHeader::Ok && ReadBody(length, hasLength, body);
}

bool CFetchClient::PostGetThread(const std::string& body, std::size_t maxChunks,
                                 const std::function<void(std::string_view)>& onChunk) {
    if (!SendRequest("POST /get_thread/ HTTP/1.0\r\nContent-Length: " +
                     std::to_string(body.size()) + "\r\n\r\n" + body))
        return false;
    std::size_t length = 0;
    bool hasLength = false;
    if (ReadHeader(length, hasLength) != EHeader::Ok)
        return false;
    std::string line;
    std::string chunk;
    for (std::size_t chunks = 0;; ++chunks) {
        int emptyLines = 0;
        do {
            if (!ReadLine(line))
                return false;
        } while (line.empty() && ++emptyLines <= kMaxEmptyLinesBeforeSize);
        std::size_t size = 0;
        if (!ParseChunkSize(line, kMaxBodyLength, size))
            return false; // not a size line, or a chunk longer than any file
        if (size == 0)
            return true;
        // Each chunk answers one asked-for id; a holder that sends more is
        // not followed any further.
        if (chunks == maxChunks || !ReadBytes(size, chunk))
            return false;
        onChunk(chunk);
    }
}
