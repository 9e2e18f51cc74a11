// Fuzz target: a holder's replies as the fetch client reads them. The first
// byte picks the request (response list, ".thread", a ".res", the POST for
// responses) and how many chunks may come; the rest is what the holder
// sends before it closes, fed through a socket pair so the client's own
// receive path cuts it as a network would.
#include "transfer/BlockingSocket.h"
#include "transfer/FetchClient.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > 200000)
        return 0;
    const std::uint8_t mode = data[0];
    ++data;
    --size;

    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return 0;
    // The whole reply waits in the pair before the client reads, so no
    // receive ever waits for its time-out.
    const int room = 1 << 20;
    ::setsockopt(pair[1], SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
    ::setsockopt(pair[0], SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
    std::size_t sent = 0;
    while (sent < size) {
        const ssize_t n = ::send(pair[1], data + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n <= 0)
            break;
        sent += static_cast<std::size_t>(n);
    }
    ::shutdown(pair[1], SHUT_WR);

    CBlockingSocket socket;
    socket.Adopt(pair[0]);
    socket.SetTimeout(0);
    CFetchClient client(socket, nullptr);
    const CBinaryId threadId = CBinaryId::FromText("0123456789abcdef0123456789abcdef");
    const CBinaryId resId = CBinaryId::FromText("fedcba9876543210fedcba9876543210");
    // Two requests on one connection: bytes left by the first reply are the
    // start of the second.
    for (int request = 0; request < 2; ++request) {
        switch ((mode >> (request * 2)) & 3) {
        case 0: {
            const auto ids = client.GetResList(threadId);
            Check(ids.size() <= CFetchClient::kMaxBodyLength / 16);
            break;
        }
        case 1:
        case 2: {
            std::string body;
            if (client.GetThreadFile(threadId, (mode & 1) ? nullptr : &resId, body))
                Check(body.size() <= CFetchClient::kMaxBodyLength);
            break;
        }
        case 3: {
            const std::size_t maxChunks = (mode >> 4) % 5;
            std::size_t chunks = 0;
            client.PostGetThread(std::string(32, 'x'), maxChunks, [&](std::string_view chunk) {
                Check(!chunk.empty() && chunk.size() <= CFetchClient::kMaxBodyLength);
                ++chunks;
            });
            Check(chunks <= maxChunks);
            break;
        }
        }
    }
    ::close(pair[1]);
    return 0;
}
