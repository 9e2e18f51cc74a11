// Two pelmard processes on 127.0.0.172 and .173, each with its web interface
// where it serves it by default (port 6341 on its own loopback address): a
// thread posted through one node's API reaches the other and is fetched there.
#include "support/NodeProcess.h"
#include "web/WebClient.h"

#include <gtest/gtest.h>

namespace {

const std::string kCategory = "\x83\x6a\x83\x85\x81\x5b\x83\x58"; // ニュース

WebClient ClientOf(NodeProcess& node) {
    std::string token;
    WaitUntil([&] {
        token = TempDir::ReadFile(node.dir / "webtoken");
        return !token.empty();
    });
    while (!token.empty() && token.back() == '\n')
        token.pop_back();
    return WebClient(node.Address(), 6341, token);
}

} // namespace

TEST(WebTwoNodesTest, ThreadPostedThroughTheApiIsListedAndFetchedOnAnotherNode) {
    NodeProcess a("127.0.0.172", 16372);
    NodeProcess b("127.0.0.173", 16373);
    TempDir::WriteFile(a.dir / "category.dat", kCategory + "\r\n");
    TempDir::WriteFile(b.dir / "category.dat", kCategory + "\r\n");
    ASSERT_TRUE(a.Start());
    ASSERT_TRUE(b.Start());
    const WebClient apiA = ClientOf(a);
    const WebClient apiB = ClientOf(b);
    ASSERT_EQ(apiA.Get("/api/status").status, 200) << a.Stderr();

    // B joins through its API.
    ASSERT_EQ(apiB.Post("/api/connect", {{"entry", QString::fromStdString(a.Entry())}}).status,
              202);
    ASSERT_TRUE(
        WaitUntil([&] { return apiB.Get("/api/status").Object()["peers"].toArray().size() == 1; }));

    const WebReply posted =
        apiA.Post("/api/threads", {{"title", QString::fromUtf8("二つ目のノードへ")},
                                   {"name", "a"},
                                   {"body", QString::fromUtf8("本文")}});
    ASSERT_EQ(posted.status, 201);
    const QString id = posted.Object()["id"].toString();

    // B asks the network for the category and lists the thread.
    ASSERT_EQ(apiB.Post("/api/refresh", {{"category", QString::fromUtf8("ニュース")}}).status, 200);
    ASSERT_TRUE(WaitUntil([&] {
        const QJsonArray rows =
            apiB.Get("/api/threads?category=%E3%83%8B%E3%83%A5%E3%83%BC%E3%82%B9")
                .Object()["rows"]
                .toArray();
        return !rows.isEmpty() && rows[0].toObject()["id"].toString() == id;
    }));

    ASSERT_EQ(apiB.Call("POST", "/api/threads/" + id.toStdString() + "/fetch").status, 202);
    ASSERT_TRUE(WaitUntil(
        [&] { return apiB.Get("/api/threads/" + id.toStdString()).status == 200; }, 15000));
    const QJsonObject thread = apiB.Get("/api/threads/" + id.toStdString()).Object();
    EXPECT_EQ(thread["title"].toString(), QString::fromUtf8("二つ目のノードへ"));
    EXPECT_EQ(thread["responses"].toArray()[0].toObject()["body"].toString(),
              QString::fromUtf8("本文"));
    EXPECT_EQ(a.Stop(), 0);
    EXPECT_EQ(b.Stop(), 0);
}
