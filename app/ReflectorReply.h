// The texts of joining: entry point texts, the reflector URL, the request sent
// to a reflector and the lines of its reply. Plain code used by the document on
// the GUI thread; any thread may call it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A host with a port, as named by an entry point or a reflector line.
struct CHostPort {
    std::string host;
    std::uint16_t port = 0;
};

// Where a reflector request goes: "http://host[:port]/path".
struct CReflectorUrl {
    std::string host;
    std::uint16_t port = 80;
    std::string path; // always starts with "/"
};

class CReflectorReply {
public:
    static constexpr std::size_t kSkipped = 20; // leading characters of every line
    static constexpr std::size_t kMaxPeers = 4; // the second to fifth line
    static constexpr std::uint16_t kDefaultEntryPort = 6340;

    // Splits a whole reply (status line, headers, body) into its body lines.
    static std::vector<std::string> SplitBody(const std::string& reply);

    // The first line: the caller's address as the reflector sees it and the
    // status text ("open" or "close"). False for a line too short or without ":".
    static bool ParseReport(const std::string& line, std::string& address, std::string& status);
    // A node line: host and port. False for a line too short, without ":" or
    // with an empty host.
    static bool ParsePeer(const std::string& line, CHostPort& peer);

    // Reads the body lines: the report from the first, the nodes from the
    // second to the fifth (lines that cannot be read are skipped, not replaced).
    static CReflectorReply Parse(const std::vector<std::string>& lines);

    bool hasReport = false;
    std::string address;
    std::string status;
    std::vector<CHostPort> peers;
};

// True when the entry names a reflector rather than a node.
bool IsReflectorEntry(const std::string& entry);

// "host" -> port 6340; "host:port" -> the leading digits of port, kept in 16 bits
// (no digits: 0).
CHostPort ParseEntryText(const std::string& entry);

// Reads "http://host[:port][/path]". No "/" after the host gives the path "/";
// no port gives 80. False when there is no "http://", no host or a port that is
// not 1 to 65535.
bool ParseReflectorUrl(const std::string& url, CReflectorUrl& result);

// The path with the listen port added as "?port=N", or "&port=N" when the path
// already has a query.
std::string AddPortQuery(const std::string& path, int listenPort);

// The whole request: "GET <path> HTTP/1.0", the User-Agent line, an empty line.
std::string BuildReflectorRequest(const std::string& pathWithQuery);
