// CFetchClient: the transfer requests a fetching node makes to one holder
// (GET /get_res_list/, GET /get_thread/, POST /get_thread/) over one
// connected CBlockingSocket, with the reply reading they share. Used on the
// fetch worker's thread only. Every length a holder announces is read in
// full and bounded; a reply that ends before its announced length is a
// failure, never a shorter result.
#pragma once

#include "base/BinaryId.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class CBlockingSocket;

// A holder that keeps each receive just inside its time-out could hold
// the one fetch a node runs for ever. Once a request has run for grace,
// its reply must have come at minBytesPerSecond on average, or the
// request fails and the holder is left. Any honest holder is far faster.
struct CSlowHolderRule {
    std::chrono::milliseconds grace{30000};
    std::size_t minBytesPerSecond = 1024;
};

class CFetchClient {
public:
    // The longest body or chunk accepted. A legal ".thread" or ".res" is
    // under 67,000 bytes and the longest response list 65,535 ids (1,048,560
    // bytes); anything announced longer is refused.
    static constexpr std::size_t kMaxBodyLength = 1 << 20;
    static constexpr std::size_t kMaxLineLength = 8192;
    static constexpr std::size_t kMaxHeaderLines = 64;
    static constexpr std::size_t kReceiveBufferSize = 64000;
    // A POST body's length must fit the 16-bit Content-Length the serving
    // side keeps: the thread id and at most this many response ids.
    static constexpr std::size_t kMaxIdsPerPost = (65535 - 16) / 16;

    // stopping is asked between receives; once it answers true every
    // request ends as failed.
    CFetchClient(CBlockingSocket& socket, std::function<bool()> stopping,
                 CSlowHolderRule slowRule = {});

    // The response ids the holder lists; empty on 404 or any failure.
    std::vector<CBinaryId> GetResList(const CBinaryId& threadId);
    // The ".thread" file (or, with a response id, that ".res" file); false on
    // 404, a failure or a reply cut short.
    bool GetThreadFile(const CBinaryId& threadId, const CBinaryId* resId, std::string& body);
    // Sends the POST with body (the thread id and the wanted response ids)
    // and hands every chunk of the reply to onChunk, at most maxChunks of
    // them. True when the reply ended with its last chunk; false when it
    // failed, was cut short or did not keep the chunk framing.
    bool PostGetThread(const std::string& body, std::size_t maxChunks,
                       const std::function<void(std::string_view chunk)>& onChunk);

private:
    enum class EHeader { Ok, NotFound, Failed };
    // Reads the reply header; with hasLength false no Content-Length came.
    EHeader ReadHeader(std::size_t& contentLength, bool& hasLength);
    bool ReadBody(std::size_t contentLength, bool hasLength, std::string& body);
    bool ReadLine(std::string& line);
    bool ReadBytes(std::size_t count, std::string& out);
    // Receives more bytes into the buffer; false when the peer closed, an
    // error or time-out came, the worker is stopping, or the holder has
    // proved too slow.
    bool Fill();
    bool TooSlow() const;
    bool Closed() const { return m_closed; }
    bool SendRequest(const std::string& bytes);

    CBlockingSocket& m_socket;
    std::function<bool()> m_stopping;
    // Bytes received and not yet read; kept across the requests made on one
    // connection, so a reply never loses the bytes of the next.
    std::string m_pending;
    std::size_t m_readAt = 0;
    bool m_closed = false;
    CSlowHolderRule m_slowRule;
    std::chrono::steady_clock::time_point m_requestStart;
    std::size_t m_requestBytes = 0; // received since the request was sent
    bool m_tooSlow = false;         // then no further request goes out on this connection
};
