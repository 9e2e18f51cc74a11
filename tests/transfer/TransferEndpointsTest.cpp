// Tests of the transfer endpoints through a raw client against a node in the
// test process: the response list, the file replies, the chunked POST reply,
// request ids that are not ids, and ordering on one connection.
#include "support/InProcessNode.h"
#include "transfer/TransferSupport.h"

#include <gtest/gtest.h>

#include <set>

using namespace transfertest;

namespace {

constexpr const char* kAddress = "127.0.0.60";
constexpr const char* kChunkedHeader = "HTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";

// Each test has its own port, so tests may run side by side.
class TransferEndpointsTest : public ::testing::Test {
protected:
    void Open(int port) {
        node = std::make_unique<InProcessNode>(kAddress, port);
        ASSERT_TRUE(node->Start());
        ASSERT_TRUE(client.Connect(kAddress, port));
        root = node->ThreadDir();
    }
    std::string Get(const std::string& target) { return "GET " + target + " HTTP/1.0\r\n\r\n"; }
    std::string Post(const std::string& body, std::size_t length) {
        return "POST /get_thread/ HTTP/1.0\r\nContent-Length: " + std::to_string(length) +
               "\r\n\r\n" + body;
    }

    std::unique_ptr<InProcessNode> node;
    RawClient client;
    std::string root;
};

// The chunks of a complete chunked reply after its header; false when the
// bytes do not end with the last chunk.
bool ParseChunks(const std::string& reply, std::vector<std::string>& chunks) {
    std::size_t at = reply.find("\r\n\r\n");
    if (at == std::string::npos)
        return false;
    at += 4;
    for (;;) {
        const std::size_t lineEnd = reply.find("\r\n", at);
        if (lineEnd == std::string::npos)
            return false;
        const std::size_t size = std::stoul(reply.substr(at, lineEnd - at), nullptr, 16);
        at = lineEnd + 2;
        if (size == 0)
            return reply.compare(at, std::string::npos, "\r\n") == 0;
        if (reply.size() < at + size + 2)
            return false;
        chunks.push_back(reply.substr(at, size));
        at += size + 2;
    }
}

TEST_F(TransferEndpointsTest, ResListOfTwoResponsesCarriesBothIds) {
    Open(16460);
    const SeededThread thread = SeedThread(root, 2);
    client.Write(Get("/get_res_list/?threadid=" + thread.threadId.GetText()));
    const std::string header =
        "HTTP/1.0 200 OK\r\nContent-Length: 32\r\nContent-Type: application/octet-stream\r\n\r\n";
    ASSERT_TRUE(client.WaitForSize(header.size() + 32));
    const std::string reply = client.Settle();
    ASSERT_EQ(reply.size(), header.size() + 32);
    EXPECT_EQ(reply.substr(0, header.size()), header);
    const std::set<std::string> listed{reply.substr(header.size(), 16),
                                       reply.substr(header.size() + 16, 16)};
    EXPECT_EQ(listed,
              (std::set<std::string>{IdBytes(thread.resIds[0]), IdBytes(thread.resIds[1])}));
}

TEST_F(TransferEndpointsTest, ResListOfThreadWithoutResponsesOrNotHeldIsNotFound) {
    Open(16461);
    const SeededThread thread = SeedThread(root, 0);
    client.Write(Get("/get_res_list/?threadid=" + thread.threadId.GetText()));
    client.Write(Get("/get_res_list/?threadid=" + NewId().GetText()));
    ASSERT_TRUE(client.WaitForSize(2 * std::string(kNotFound).size()));
    EXPECT_EQ(client.Settle(), std::string(kNotFound) + kNotFound);
}

TEST_F(TransferEndpointsTest, EmptyResIdServesThreadFileAndResIdItsResponse) {
    Open(16462);
    const SeededThread thread = SeedThread(root, 1);
    const std::string opening = ThreadFileOf(root, thread.threadId);
    const std::string response = ResFileOf(root, thread.threadId, thread.resIds[0]);
    client.Write(Get("/get_thread/?threadid=" + thread.threadId.GetText() + "&resid="));
    client.Write(Get("/get_thread/?threadid=" + thread.threadId.GetText() +
                     "&resid=" + thread.resIds[0].GetText()));
    const std::string expected = OkReply(opening) + OkReply(response);
    ASSERT_TRUE(client.WaitForSize(expected.size()));
    EXPECT_EQ(client.Settle(), expected);
}

TEST_F(TransferEndpointsTest, PostWithOnlyThreadIdGetsHeaderThenLastChunk) {
    Open(16463);
    const SeededThread thread = SeedThread(root, 3);
    client.Write(Post(IdBytes(thread.threadId), 16));
    const std::string expected = std::string(kChunkedHeader) + "0\r\n\r\n";
    ASSERT_TRUE(client.WaitForSize(expected.size()));
    EXPECT_EQ(client.Settle(), expected);
}

TEST_F(TransferEndpointsTest, PostBodyInThreeWritesIsAnsweredOnceWhenComplete) {
    Open(16464);
    const SeededThread thread = SeedThread(root, 2);
    const std::string body =
        IdBytes(thread.threadId) + IdBytes(thread.resIds[0]) + IdBytes(thread.resIds[1]);
    client.Write(Post(body.substr(0, 10), body.size()));
    EXPECT_EQ(client.Settle(), "");
    client.Write(body.substr(10, 20));
    EXPECT_EQ(client.Settle(), "");
    // The last write completes the body; what follows it is not a request.
    client.Write(body.substr(30) + IdBytes(thread.resIds[0]) + "GET / HTTP/1.0\r\n\r\n");
    ASSERT_TRUE(client.WaitForText("0\r\n\r\n"));
    const std::string reply = client.Settle(300);
    std::vector<std::string> chunks;
    ASSERT_TRUE(ParseChunks(reply, chunks)) << reply;
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0], ResFileOf(root, thread.threadId, thread.resIds[0]));
    EXPECT_EQ(chunks[1], ResFileOf(root, thread.threadId, thread.resIds[1]));
}

TEST_F(TransferEndpointsTest, ResponseOf300BytesIsSentWithChunkSize12c) {
    Open(16465);
    const SeededThread thread = SeedThread(root, 0);
    const CBinaryId resId = NewId();
    const std::string bytes = ResBytes(thread.threadId, resId, std::string(205, 'x'));
    ASSERT_EQ(bytes.size(), 300u);
    TempDir::WriteFile(storepaths::ResFile(root, thread.threadId.GetText(), resId.GetText()),
                       bytes);
    client.Write(Post(IdBytes(thread.threadId) + IdBytes(resId), 32));
    const std::string expected = std::string(kChunkedHeader) + "12c\r\n" + bytes + "\r\n0\r\n\r\n";
    ASSERT_TRUE(client.WaitForSize(expected.size()));
    EXPECT_EQ(client.Settle(), expected);
}

TEST_F(TransferEndpointsTest, PostLeavesOutMissingAndNullResponsesAndIgnoresTrailingPiece) {
    Open(16466);
    const SeededThread thread = SeedThread(root, 1);
    const std::string body = IdBytes(thread.threadId) + std::string(16, '\0') + IdBytes(NewId()) +
                             IdBytes(thread.resIds[0]) + "short";
    client.Write(Post(body, body.size()));
    ASSERT_TRUE(client.WaitForText("0\r\n\r\n"));
    std::vector<std::string> chunks;
    ASSERT_TRUE(ParseChunks(client.Settle(), chunks));
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0], ResFileOf(root, thread.threadId, thread.resIds[0]));
}

TEST_F(TransferEndpointsTest, IdsThatAreNotExactlyThirtyTwoLowerHexDigitsAreNotFound) {
    Open(16467);
    const SeededThread thread = SeedThread(root, 1);
    std::string upper = thread.threadId.GetText();
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::string id = thread.threadId.GetText();
    const std::vector<std::string> targets = {
        "/get_thread/?threadid=" + upper,
        "/get_thread/?threadid=" + id.substr(0, 31),
        "/get_thread/?threadid=" + id + "0",
        "/get_thread/?threadid=" + id + "&resid=../" + id.substr(0, 29),
        "/get_thread/?threadid=" + id + "&resid=" + thread.resIds[0].GetText().substr(0, 30),
        "/get_res_list/?threadid=" + upper,
        "/get_res_list/?threadid=../../../../etc/passwd",
    };
    for (const std::string& target : targets)
        client.Write(Get(target));
    std::string expected;
    for (std::size_t i = 0; i < targets.size(); ++i)
        expected += kNotFound;
    ASSERT_TRUE(client.WaitForSize(expected.size()));
    EXPECT_EQ(client.Settle(), expected);
}

TEST_F(TransferEndpointsTest, PostWhoseLengthCannotNameAThreadOrExceedsSixteenBitsIsNotFound) {
    Open(16468);
    const SeededThread thread = SeedThread(root, 1);
    client.Write(Post(IdBytes(thread.threadId).substr(0, 15), 15));
    ASSERT_TRUE(client.WaitForText(kNotFound));
    EXPECT_EQ(client.Settle(), kNotFound);

    RawClient second;
    ASSERT_TRUE(second.Connect(kAddress, 16468));
    second.Write(Post(IdBytes(thread.threadId) + IdBytes(thread.resIds[0]), 70000));
    ASSERT_TRUE(second.WaitForText(kNotFound));
    EXPECT_EQ(second.Settle(), kNotFound);

    RawClient third; // a null thread id names no thread
    ASSERT_TRUE(third.Connect(kAddress, 16468));
    third.Write(Post(std::string(16, '\0') + IdBytes(thread.resIds[0]), 32));
    ASSERT_TRUE(third.WaitForText(kNotFound));
    EXPECT_EQ(third.Settle(), kNotFound);
}

TEST_F(TransferEndpointsTest, TwoGetsOnOneConnectionAreAnsweredInOrder) {
    Open(16469);
    const SeededThread thread = SeedThread(root, 1);
    // A thread file larger than one piece of the output, so the first reply
    // is still streaming when the second request is read.
    const std::string big(3 * 1024 * 1024 + 17, 'q');
    TempDir::WriteFile(storepaths::ThreadFile(root, thread.threadId.GetText()), big);
    client.Write(Get("/get_thread/?threadid=" + thread.threadId.GetText()) +
                 Get("/get_res_list/?threadid=" + thread.threadId.GetText()));
    const std::string expected = OkReply(big) + OkReply(IdBytes(thread.resIds[0]));
    ASSERT_TRUE(client.WaitForSize(expected.size(), 15000))
        << client.Received().size() << " of " << expected.size();
    EXPECT_TRUE(client.Settle() == expected);
}

} // namespace
