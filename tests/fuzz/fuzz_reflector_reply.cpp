// Fuzz target: what a reflector sends back, as the joining node reads it
// (body lines, the report line, the node lines), and the entry point and
// reflector URL texts the user or "entrypoint.dat" give.
#include "FuzzSupport.h"

#include "app/ReflectorReply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(fuzz::Text(data, size));
    const std::vector<std::string> lines = CReflectorReply::SplitBody(bytes);
    const CReflectorReply reply = CReflectorReply::Parse(lines);
    fuzz::Check(reply.peers.size() <= CReflectorReply::kMaxPeers);
    for (const CHostPort& peer : reply.peers)
        fuzz::Check(!peer.host.empty());
    for (const std::string& line : lines) {
        fuzz::Check(line.size() <= bytes.size());
        CHostPort peer;
        std::string address, status;
        CReflectorReply::ParsePeer(line, peer);
        CReflectorReply::ParseReport(line, address, status);
    }

    IsReflectorEntry(bytes);
    ParseEntryText(bytes);
    CReflectorUrl url;
    if (ParseReflectorUrl(bytes, url)) {
        fuzz::Check(!url.host.empty() && url.port != 0);
        fuzz::Check(!url.path.empty() && url.path[0] == '/');
        const std::string request = BuildReflectorRequest(AddPortQuery(url.path, 6340));
        fuzz::Check(request.rfind("GET ", 0) == 0);
    }
    return 0;
}
