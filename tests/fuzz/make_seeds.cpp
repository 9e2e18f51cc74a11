// Writes the seed corpora of the fuzz targets, one small file per seed, into
// <dir>/<target>/, with the program's own encoders where a format is binary.
//   fuzz_make_seeds DIR     (scripts/fuzz.sh --seeds runs it on tests/fuzz)
#include "protocol/wire/PongMessage.h"
#include "protocol/wire/QueryHitMessage.h"
#include "protocol/wire/QueryMessage.h"
#include "protocol/wire/UpdateMessage.h"
#include "store/ResRecord.h"
#include "store/ThreadRecord.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

const CBinaryId kThread = CBinaryId::FromText("0123456789abcdef0123456789abcdef");
const CBinaryId kRes = CBinaryId::FromText("fedcba9876543210fedcba9876543210");
const CBinaryId kServent = CBinaryId::FromText("00112233445566778899aabbccddeeff");
// Shift_JIS: "雑談" and a half-width katakana, as category and name.
const std::string kCategory = "\x8e\x47\x92\x6b";
const std::string kName = "\x96\xbc\x96\xb3\x82\xb5\xb1";

std::string Thread() {
    CThreadRecord thread(kThread, "title &lt;b&gt;", kCategory, kName, "sage",
                         "body\r\n\x82\xa0\x82\xa2", kServent, {}, 1700000000, 1700000000);
    return thread.EncodeThread();
}
std::string Info() {
    CThreadRecord info;
    info.SetHeld(2);
    info.SetResCount(3);
    info.SetNewestHeld(1700000100);
    info.SetUpdated(1700000100);
    return info.EncodeInfo();
}
std::string Res() {
    return CResRecord(kThread, kRes, {}, "", kName, "", "res body", kServent, {}, 1700000100)
        .Encode();
}
std::string Ids() {
    std::string ids;
    for (const CBinaryId* id : {&kThread, &kRes})
        ids.append(reinterpret_cast<const char*>(id->GetBytes().data()), 16);
    return ids;
}
template <typename TMessage> TMessage WithHeader(std::uint8_t type) {
    TMessage message;
    message.Header() = CMessageHeader(kServent, type);
    return message;
}
std::string Messages() {
    auto pong = WithHeader<CPongMessage>(CMessageHeader::kTypePong);
    CIPv4Address address;
    address.SetText("127.0.0.2");
    pong.SetAddress(address);
    pong.SetPort(6340);
    auto query = WithHeader<CQueryMessage>(CMessageHeader::kTypeQuery);
    query.SetCategory(kCategory);
    auto hit = WithHeader<CQueryHitMessage>(CMessageHeader::kTypeQueryHit);
    hit.SetAddress(address);
    hit.SetPort(6340);
    hit.SetServentId(kServent);
    CHitEntry entry;
    entry.SetThreadId(kThread);
    entry.SetTitle("title");
    entry.SetName(kName);
    entry.SetCategory(kCategory);
    hit.AddEntry(entry);
    hit.SetHitCount(1);
    auto update = WithHeader<CUpdateMessage>(CMessageHeader::kTypeUpdate);
    update.SetThreadId(kThread);
    update.SetTitle("title");
    update.SetCategory(kCategory);
    update.SetServentId(kServent);
    const CMessageHeader ping(kServent, CMessageHeader::kTypePing);
    return ping.Encode() + pong.Encode() + query.Encode() + hit.Encode() + update.Encode();
}

class CWriter {
public:
    explicit CWriter(std::string dir) : m_dir(std::move(dir)) {}
    void Put(const std::string& target, const std::vector<std::string>& seeds) {
        const std::string dir = m_dir + "/" + target;
        std::filesystem::create_directories(dir);
        int n = 0;
        for (const std::string& seed : seeds) {
            std::ofstream out(dir + "/seed-" + std::to_string(++n), std::ios::binary);
            out.write(seed.data(), static_cast<std::streamsize>(seed.size()));
        }
    }

private:
    std::string m_dir;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_make_seeds DIR\n");
        return 2;
    }
    CWriter out(argv[1]);
    const std::string ok = "HTTP/1.0 200 OK\r\n";
    const std::string thread = Thread();
    const std::string res = Res();
    char size[16];
    std::snprintf(size, sizeof size, "%zx", res.size());

    out.Put("fuzz_messages", {std::string(1, '\0') + Messages(), "\x07" + Messages()});
    out.Put("fuzz_request",
            {std::string(1, '\0') + "PELMAR CONNECT/0.1\r\nReflect: 127.0.0.2\r\n\r\n",
             "\x05GET /get_thread/?threadid=" + kThread.GetText() + " HTTP/1.0\r\n\r\n",
             "\x03GET /get_res_list/?threadid=" + kThread.GetText() + " HTTP/1.0\r\n\r\n",
             "\x09POST /get_thread/ HTTP/1.0\r\nContent-Length: 32\r\n\r\n" + Ids()});
    out.Put("fuzz_fetch_reply",
            {std::string(1, '\x05') + ok + "Content-Length: " + std::to_string(thread.size()) +
                 "\r\nContent-Type: application/octet-stream\r\n\r\n" + thread,
             std::string(1, '\x00') + ok + "Content-Length: 32\r\n\r\n" + Ids(),
             std::string(1, '\x3f') + ok + "Transfer-Encoding: chunked\r\n\r\n" + size + "\r\n" +
                 res + "\r\n0\r\n\r\n",
             std::string(1, '\x01') + "HTTP/1.0 404 Not Found\r\n\r\n",
             std::string(1, '\x06') + ok + "\r\n" + thread});
    out.Put("fuzz_reflector_reply",
            {ok + "Content-Type: text/plain\r\n\r\nREFLECTOR_ADDRESS   127.0.0.2:open\r\n"
                  "REFLECTOR_NODE      127.0.0.3:6340\r\nREFLECTOR_NODE      127.0.0.4:6340\r\n",
             ok + "\r\nREFLECTOR_ADDRESS   192.0.2.1:close\r\n",
             "http://127.0.0.1:8080/reflect?x=1", "127.0.0.5:6340"});
    out.Put("fuzz_category_file",
            {kCategory + "\r\n\t" + kName + "\r\n\t\tnews\r\nother\r\n", "a\n\tb\n\t\tc\n\td\ne"});
    out.Put("fuzz_entrypoint_file",
            {"127.0.0.2:6340\r\nhttp://127.0.0.1:8080/reflect\r\nhost\r\n", "only-line"});
    out.Put("fuzz_ini_file", {"[Network]\r\nPort=6340\r\n[Servent]\r\nCacheMode=CacheServent\r\n",
                              "; comment\n[network]\n port = 16340x\n[Servent\nCacheMode=Disable"});
    out.Put("fuzz_store_records", {thread, res, Info(), Ids()});
    out.Put("fuzz_store_files", {thread + "\n--\n" + Info() + "\n--\n" + res + "\n--\n" + Ids(),
                                 thread + "\n--\n\n--\n" + res});
    out.Put("fuzz_shiftjis", {"\x10" + kCategory + kName + "abc", "\x03\x82\xa0\x82",
                              "\x20\xed\x40\xfa\x5c\x81\x60\r\n\x87\x40"});
    return 0;
}
