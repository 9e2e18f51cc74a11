// The texts of joining: entry points, reflector URL, request and reply lines.
// Plain code; every reader stays inside the line it is given.
#include "app/ReflectorReply.h"

namespace {

const char kScheme[] = "http://";
constexpr std::size_t kSchemeLength = sizeof kScheme - 1;

// Leading decimal digits, kept in 16 bits; sets *digits to how many there were.
std::uint16_t LeadingPort(const std::string& text, std::size_t start, std::size_t* digits) {
    std::uint32_t value = 0;
    std::size_t i = start;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
    if (digits)
        *digits = i - start;
    return static_cast<std::uint16_t>(value);
}

} // namespace

std::vector<std::string> CReflectorReply::SplitBody(const std::string& reply) {
    std::vector<std::string> lines;
    std::size_t headerEnd = reply.find("\r\n\r\n");
    if (headerEnd == std::string::npos)
        return lines; // no empty line: the reply has no body
    std::size_t pos = headerEnd + 4;
    while (pos < reply.size()) {
        std::size_t end = reply.find("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back(reply.substr(pos)); // a last line without "\r\n"
            break;
        }
        lines.push_back(reply.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

bool CReflectorReply::ParseReport(const std::string& line, std::string& address,
                                  std::string& status) {
    if (line.size() < kSkipped)
        return false;
    std::size_t colon = line.find(':', kSkipped);
    if (colon == std::string::npos)
        return false;
    address = line.substr(kSkipped, colon - kSkipped);
    status = line.substr(colon + 1);
    return true;
}

bool CReflectorReply::ParsePeer(const std::string& line, CHostPort& peer) {
    if (line.size() < kSkipped)
        return false;
    std::size_t colon = line.find(':', kSkipped);
    if (colon == std::string::npos || colon == kSkipped)
        return false;
    peer.host = line.substr(kSkipped, colon - kSkipped);
    peer.port = LeadingPort(line, colon + 1, nullptr);
    return true;
}

CReflectorReply CReflectorReply::Parse(const std::vector<std::string>& lines) {
    CReflectorReply reply;
    if (lines.empty())
        return reply;
    reply.hasReport = ParseReport(lines[0], reply.address, reply.status);
    for (std::size_t i = 1; i < lines.size() && i <= kMaxPeers; ++i) {
        CHostPort peer;
        if (ParsePeer(lines[i], peer))
            reply.peers.push_back(peer);
    }
    return reply;
}

bool IsReflectorEntry(const std::string& entry) {
    return entry.find(kScheme) != std::string::npos;
}

CHostPort ParseEntryText(const std::string& entry) {
    CHostPort result;
    std::size_t colon = entry.find(':');
    if (colon == std::string::npos) {
        result.host = entry;
        result.port = CReflectorReply::kDefaultEntryPort;
        return result;
    }
    result.host = entry.substr(0, colon);
    result.port = LeadingPort(entry, colon + 1, nullptr);
    return result;
}

bool ParseReflectorUrl(const std::string& url, CReflectorUrl& result) {
    std::size_t scheme = url.find(kScheme);
    if (scheme == std::string::npos)
        return false;
    std::size_t hostStart = scheme + kSchemeLength;
    std::size_t slash = url.find('/', hostStart);
    std::string authority =
        url.substr(hostStart, slash == std::string::npos ? std::string::npos : slash - hostStart);
    result.path = slash == std::string::npos ? std::string("/") : url.substr(slash);
    result.port = 80;
    std::size_t colon = authority.find(':');
    if (colon != std::string::npos) {
        std::size_t digits = 0;
        std::uint32_t value = 0;
        for (std::size_t i = colon + 1; i < authority.size(); ++i, ++digits) {
            char c = authority[i];
            if (c < '0' || c > '9' || digits >= 5)
                return false;
            value = value * 10 + static_cast<std::uint32_t>(c - '0');
        }
        if (digits > 0) {
            if (value == 0 || value > 65535)
                return false;
            result.port = static_cast<std::uint16_t>(value);
        }
        authority.resize(colon);
    }
    if (authority.empty())
        return false;
    result.host = authority;
    return true;
}

std::string AddPortQuery(const std::string& path, int listenPort) {
    const char* separator = path.find('?') != std::string::npos ? "&port=" : "?port=";
    return path + separator + std::to_string(listenPort);
}

std::string BuildReflectorRequest(const std::string& pathWithQuery) {
    return "GET " + pathWithQuery + " HTTP/1.0\r\nUser-Agent: pelmar servent/0.1.2\r\n\r\n";
}
