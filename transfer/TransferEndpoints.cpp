// The transfer endpoints: the response list, the ".thread" and ".res" files
// and the chunked POST reply, served from the store on the node's port.
// GUI thread (called by the connection). Files are streamed piece by piece
// through the connection's output queue, so a large reply is never held whole
// and serving it never stalls the other connections.
#include "transfer/TransferEndpoints.h"

#include "base/BinaryId.h"
#include "protocol/wire/ServentRequest.h"
#include "store/FileSystem.h"
#include "store/ResRecord.h"
#include "store/StorePaths.h"
#include "store/ThreadRecord.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr std::string_view kNotFound = "HTTP/1.0 404 Not Found\r\n\r\n";
constexpr std::string_view kChunkedHeader = "HTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
constexpr std::size_t kIdSize = 16;
// A POST body names the thread first; Content-Length is a 16-bit count.
constexpr std::uint32_t kMinPostBody = kIdSize;
constexpr std::uint32_t kMaxPostBody = 65535;
// How much of a file one pull of the output queue reads.
constexpr std::size_t kFilePiece = 64 * 1024;
// A ".res" larger than this cannot be a response (the fields allow under
// 67,000 bytes) and would be refused by every fetcher: it is not served.
constexpr std::size_t kMaxServedRes = 1 << 20;

CTransferReply NotFound() {
    return CTransferReply{std::string(kNotFound), nullptr};
}

std::string OkHeader(std::uint64_t length) {
    return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(length) +
           "\r\nContent-Type: application/octet-stream\r\n\r\n";
}

// Opens a store file for serving; only a regular file is served, and its
// length is taken when it is opened. -1 when there is nothing to serve.
std::int64_t OpenServed(const std::string& path, storefs::CFileHandle& file) {
    if (!file.Open(path, storefs::CFileHandle::Mode::ReadOnly))
        return -1;
    return file.RegularFileSize();
}

// One file after its header, read in pieces as the connection drains. The
// length was announced when the file was opened; should the file come up
// short, zeros make up the rest so the reply keeps its announced framing.
class CFileReply : public IReplyStream {
public:
    CFileReply(std::unique_ptr<storefs::CFileHandle> file, std::uint64_t length, std::string header)
        : m_file(std::move(file)), m_left(length), m_header(std::move(header)) {}

    bool Next(std::string& out) override {
        if (!m_header.empty()) {
            out += m_header;
            m_header.clear();
        }
        const std::size_t piece =
            m_left < kFilePiece ? static_cast<std::size_t>(m_left) : kFilePiece;
        const std::size_t start = out.size();
        out.resize(start + piece, '\0');
        m_file->ReadAt(m_done, out.data() + start, piece);
        m_done += piece;
        m_left -= piece;
        if (m_left == 0)
            m_file->Close();
        return m_left > 0;
    }

private:
    std::unique_ptr<storefs::CFileHandle> m_file;
    std::uint64_t m_left;
    std::uint64_t m_done = 0;
    std::string m_header;
};

// A POST reply: its header, then one ".res" file per chunk,
// opened one at a time, then the last chunk. Responses that are not held are
// left out.
class CChunkedResReply : public IReplyStream {
public:
    CChunkedResReply(std::string root, std::string threadId, std::vector<CBinaryId> resIds)
        : m_root(std::move(root)), m_threadId(std::move(threadId)), m_resIds(std::move(resIds)) {}

    bool Next(std::string& out) override {
        if (!m_headerSent) {
            out += kChunkedHeader;
            m_headerSent = true;
        }
        while (m_next < m_resIds.size()) {
            const std::string& resId = m_resIds[m_next++].GetText();
            if (AppendChunk(storepaths::ResFile(m_root, m_threadId, resId), out))
                return true;
        }
        out += "0\r\n\r\n";
        return false;
    }

private:
    // The chunk of one ".res": its size line, its bytes, CR LF.
    static bool AppendChunk(const std::string& path, std::string& out) {
        storefs::CFileHandle file;
        const std::int64_t length = OpenServed(path, file);
        if (length < 0 || static_cast<std::uint64_t>(length) > kMaxServedRes)
            return false;
        std::string bytes(static_cast<std::size_t>(length), '\0');
        // A file that shrank while being read: the chunk tells the bytes there are.
        bytes.resize(file.ReadAt(0, bytes.data(), bytes.size()));
        char size[32];
        std::snprintf(size, sizeof size, "%zx\r\n", bytes.size());
        out += size;
        out += bytes;
        out += "\r\n";
        return true;
    }

    std::string m_root;
    std::string m_threadId;
    std::vector<CBinaryId> m_resIds;
    std::size_t m_next = 0;
    bool m_headerSent = false;
};

} // namespace

namespace transfer {

CTransferReply ServeResList(const std::string& root, const CServentRequest& request) {
    // Ids become file names: only the exact 32-digit form is looked up.
    if (!CBinaryId::IsWellFormedText(request.threadId))
        return NotFound();
    CThreadRecord thread;
    std::vector<CBinaryId> held;
    // The directory is the one the request names, whatever the file says.
    if (thread.Load(request.threadId, root))
        CResRecord::ListHeld(root, request.threadId, held);
    std::string ids;
    ids.reserve(held.size() * kIdSize);
    for (const CBinaryId& id : held) {
        // A stray file whose name is no response id names nothing to fetch.
        if (id.IsNull())
            continue;
        ids.append(reinterpret_cast<const char*>(id.GetBytes().data()), kIdSize);
    }
    if (ids.empty())
        return NotFound();
    return CTransferReply{OkHeader(ids.size()) + ids, nullptr};
}

CTransferReply ServeThreadFile(const std::string& root, const CServentRequest& request) {
    const std::string& threadId = request.threadId;
    const std::string& resId = request.resId;
    if (!CBinaryId::IsWellFormedText(threadId) ||
        (!resId.empty() && !CBinaryId::IsWellFormedText(resId)))
        return NotFound();
    const std::string path = resId.empty() ? storepaths::ThreadFile(root, threadId)
                                           : storepaths::ResFile(root, threadId, resId);
    auto file = std::make_unique<storefs::CFileHandle>();
    const std::int64_t length = OpenServed(path, *file);
    if (length < 0)
        return NotFound();
    const auto size = static_cast<std::uint64_t>(length);
    return CTransferReply{{}, std::make_unique<CFileReply>(std::move(file), size, OkHeader(size))};
}

std::optional<CTransferReply> ServePostBody(const std::string& root, const CServentRequest& request,
                                            const std::string& body) {
    // Below 16 bytes the body names no thread; above 65,535 the length
    // cannot be told in a request of this protocol.
    if (request.contentLength < kMinPostBody || request.contentLength > kMaxPostBody)
        return NotFound();
    if (body.size() < request.contentLength)
        return std::nullopt; // the rest of the body is still on its way
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(body.data());
    const CBinaryId threadId = CBinaryId::FromBytes(bytes);
    if (threadId.IsNull())
        return NotFound();
    std::vector<CBinaryId> resIds;
    // Bytes beyond Content-Length, and a trailing piece shorter than an id,
    // name no response.
    for (std::size_t at = kIdSize; at + kIdSize <= request.contentLength; at += kIdSize) {
        const CBinaryId resId = CBinaryId::FromBytes(bytes + at);
        if (!resId.IsNull())
            resIds.push_back(resId);
    }
    return CTransferReply{
        {}, std::make_unique<CChunkedResReply>(root, threadId.GetText(), std::move(resIds))};
}

} // namespace transfer
