// The API against a store laid out by the program's own code: what it reads
// out, and what posting through it stores.
#include "web/WebFixture.h"

#include "base/Cp932Text.h"
#include "frontend/EntryPointFile.h"

using WebApiTest = WebFixture;

namespace {
QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}
} // namespace

TEST_F(WebApiTest, StatusAndCategoriesComeFromTheNodeAndCategoryFile) {
    const QJsonObject status = client->Get("/api/status").Object();
    EXPECT_EQ(status["serventId"].toString().toStdString(), doc->GetServentId());
    EXPECT_EQ(status["port"].toInt(), kOverlayPort);
    EXPECT_TRUE(status["peers"].toArray().isEmpty());
    EXPECT_FALSE(status["fetch"].toObject()["running"].toBool());

    const QJsonArray categories = client->Get("/api/categories").Array();
    ASSERT_EQ(categories.size(), 2);
    EXPECT_EQ(categories[0].toObject()["name"].toString(), Utf8("ニュース"));
    EXPECT_EQ(categories[1].toObject()["name"].toString(), Utf8("雑談"));
    EXPECT_EQ(categories[1].toObject()["parent"].toInt(), 0);
}

TEST_F(WebApiTest, ThreadListHasTheDesktopsRowsOrderAndMarks) {
    const std::string older = StoreThread("old", 1000);
    const std::string newer = StoreThread("\x83\x58\x83\x8c", 2000); // スレ
    StoreThread("elsewhere", 3000, "other");
    doc->RefreshThreadList(); // as the node does once it stored a thread
    ASSERT_EQ(client->Post("/api/select", {{"category", Utf8("ニュース")}}).status, 200);
    // A thread announced by the network, not held here: a lightning row at
    // the place its time gives it.
    CThreadSummary announced{kNews, NextId(), "<script>x</script>", 7, "peer", 1500, true};
    doc->UpdateThreadListItem(announced);

    const WebReply reply =
        client->Get("/api/threads?category=%E3%83%8B%E3%83%A5%E3%83%BC%E3%82%B9");
    ASSERT_EQ(reply.status, 200);
    EXPECT_EQ(reply.Object()["total"].toInt(), 3);
    const QJsonArray rows = reply.Object()["rows"].toArray();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].toObject()["id"].toString().toStdString(), newer);
    EXPECT_EQ(rows[0].toObject()["title"].toString(), Utf8("スレ"));
    EXPECT_EQ(rows[0].toObject()["mark"].toString(), "held");
    EXPECT_EQ(rows[1].toObject()["title"].toString(), "<script>x</script>");
    EXPECT_EQ(rows[1].toObject()["mark"].toString(), "new");
    EXPECT_EQ(rows[1].toObject()["held"].toInt(), 0);
    EXPECT_EQ(rows[1].toObject()["resCount"].toInt(), 7);
    EXPECT_EQ(rows[1].toObject()["created"].toString(), "");
    EXPECT_EQ(rows[2].toObject()["id"].toString().toStdString(), older);
    // Another category is listed from the store without changing the selection.
    EXPECT_EQ(client->Get("/api/threads?category=other").Object()["rows"].toArray().size(), 1);
    EXPECT_EQ(doc->GetCurrentCategory(), kNews);
}

TEST_F(WebApiTest, ThreadListComesInPagesWithTheTotal) {
    for (std::uint32_t time = 1; time <= 7; ++time)
        StoreThread("t" + std::to_string(time), 1000 + time);
    StoreThread("elsewhere", 3000, "other");
    doc->RefreshThreadList();
    const auto titles = [&](const std::string& query) {
        const QJsonObject page = client->Get("/api/threads" + query).Object();
        std::string text = std::to_string(page["total"].toInt()) + ":";
        for (const QJsonValue row : page["rows"].toArray())
            text += row.toObject()["title"].toString().toStdString();
        return text;
    };
    const struct {
        std::string query, titles;
    } cases[] = {
        {"", "7:t7t6t5t4t3t2t1"},                   // the current category, default page
        {"?offset=2&limit=3", "7:t5t4t3"},          // a page from the middle
        {"?offset=5&limit=10", "7:t2t1"},           // the last page is short
        {"?offset=9", "7:"},                        // past the end
        {"?category=other&limit=1", "1:elsewhere"}, // another category
        {"?category=other&offset=1", "1:"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(titles(c.query), c.titles) << c.query;
    for (const char* bad : {"?limit=0", "?limit=x", "?offset=-1"})
        EXPECT_EQ(client->Get(std::string("/api/threads") + bad).status, 400) << bad;
    // A thread stored and announced meanwhile takes its place in the pages.
    CThreadSummary announced{kNews, NextId(), "a", 1, "peer", 1004, true};
    doc->UpdateThreadListItem(announced);
    EXPECT_EQ(titles("?offset=2&limit=3"), "8:t5t4a");
}

TEST_F(WebApiTest, ManyChangesBeforeAPageShowInItInTheirOrder) {
    StoreThread("held", 1000);
    doc->RefreshThreadList();
    // Announced, then fetched (its row keeps its place), then announced anew.
    const std::string id = NextId();
    for (const CThreadSummary& summary : {CThreadSummary{kNews, id, "a", 1, "peer", 900, true},
                                          CThreadSummary{kNews, id, "b", 2, "peer", 900, false},
                                          CThreadSummary{kNews, id, "c", 3, "peer", 2000, true}})
        doc->UpdateThreadListItem(summary);
    const QJsonArray rows = client->Get("/api/threads").Object()["rows"].toArray();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].toObject()["title"].toString(), "c");
    EXPECT_EQ(rows[0].toObject()["mark"].toString(), "new");
    EXPECT_EQ(rows[1].toObject()["title"].toString(), "held");
}

TEST_F(WebApiTest, ARowOnlyAnnouncedCanBeDeletedAsItIsListed) {
    const CThreadSummary announced{kNews, NextId(), "a", 1, "peer", 1000, true};
    doc->UpdateThreadListItem(announced);
    const CThreadSummary elsewhere{"other", NextId(), "b", 1, "peer", 1000, true};
    doc->UpdateThreadListItem(elsewhere); // not the current category: not listed
    const struct {
        std::string id;
        int status;
    } cases[] = {{announced.threadId, 200}, {elsewhere.threadId, 404}, {NextId(), 404}};
    for (const auto& c : cases)
        EXPECT_EQ(client->Call("DELETE", "/api/threads/" + c.id).status, c.status) << c.id;
    EXPECT_EQ(client->Get("/api/threads").Object()["total"].toInt(), 0);
}

TEST_F(WebApiTest, ALargeThreadArrivesWholeOnAConnectionThatCloses) {
    // About 1.6 MB: written in pieces, each once the socket drained the last.
    const std::string id = StoreThread("big", 100);
    const std::string body(4000, 'x');
    for (std::uint32_t i = 0; i < 400; ++i)
        StoreResponse(id, body, 200 + i);
    for (int round = 0; round < 2; ++round) {
        const WebReply reply = client->Get("/api/threads/" + id);
        ASSERT_EQ(reply.status, 200);
        EXPECT_EQ(reply.Header("content-length"), std::to_string(reply.body.size()));
        EXPECT_EQ(reply.Header("x-frame-options"), "DENY");
        EXPECT_EQ(reply.Object()["responses"].toArray().size(), 401) << round;
    }
}

TEST_F(WebApiTest, ThreadComesInPageOrderAsTheRecordsHoldIt) {
    // A body with a byte that is not Shift_JIS, and stored escapes.
    const std::string id = StoreThread("t", 100, kNews, "a&lt;b&gt;\r\nbad\xa0!");
    const std::string late = StoreResponse(id, "late", 300);
    const std::string early = StoreResponse(id, "early", 200);

    const QJsonObject thread = client->Get("/api/threads/" + id).Object();
    EXPECT_EQ(thread["category"].toString(), Utf8("ニュース"));
    const QJsonArray posts = thread["responses"].toArray();
    ASSERT_EQ(posts.size(), 3);
    EXPECT_EQ(posts[0].toObject()["body"].toString(), Utf8("a&lt;b&gt;\r\nbad\uFFFD!"));
    EXPECT_EQ(posts[1].toObject()["id"].toString().toStdString(), early);
    EXPECT_EQ(posts[2].toObject()["id"].toString().toStdString(), late);
    // Showing a text never changed the store.
    CThreadRecord record;
    ASSERT_TRUE(record.Load(id, doc->GetThreadDir()));
    EXPECT_EQ(record.GetBody(), "a&lt;b&gt;\r\nbad\xa0!");

    EXPECT_EQ(client->Get("/api/threads/" + NextId()).status, 404);
    EXPECT_EQ(client->Get("/api/threads/..%2F..%2Fetc").status, 404);
}

TEST_F(WebApiTest, PostedThreadAndResponseAreStoredAsTheDialogsStoreThem) {
    const WebReply posted = client->Post("/api/threads", {{"category", Utf8("ニュース")},
                                                          {"title", Utf8("a<b> テスト")},
                                                          {"name", "n"},
                                                          {"mail", "m@x"},
                                                          {"body", Utf8("一行目\n二行目")}});
    ASSERT_EQ(posted.status, 201);
    const std::string id = posted.Object()["id"].toString().toStdString();
    ASSERT_TRUE(CBinaryId::IsWellFormedText(id));
    CThreadRecord record;
    ASSERT_TRUE(record.Load(id, doc->GetThreadDir()));
    EXPECT_EQ(record.GetTitle(), "a&lt;b&gt; " + cp932text::FromUtf8("テスト"));
    EXPECT_EQ(record.GetCategory(), kNews);
    EXPECT_EQ(record.GetBody(), cp932text::FromUtf8("一行目\r\n二行目"));

    const WebReply response =
        client->Post("/api/threads/" + id + "/responses", {{"name", "r"}, {"body", "re<1>"}});
    ASSERT_EQ(response.status, 201);
    const QJsonArray posts = client->Get("/api/threads/" + id).Object()["responses"].toArray();
    ASSERT_EQ(posts.size(), 2);
    EXPECT_EQ(posts[1].toObject()["body"].toString(), "re&lt;1&gt;");
    EXPECT_EQ(posts[1].toObject()["id"], response.Object()["id"]);

    // No thread held: the desktop's message, nothing stored.
    const WebReply orphan =
        client->Post("/api/threads/" + NextId() + "/responses", {{"body", "x"}});
    EXPECT_EQ(orphan.status, 404);
    EXPECT_EQ(orphan.Object()["error"].toString(),
              Utf8("データの存在しないスレッドにはレスをつけることはできません。"));
}

TEST_F(WebApiTest, PostingStopsAtTheShiftJisByteLimits) {
    const struct {
        const char* field;
        QString text;
        int status;
    } cases[] = {
        {"title", QString(100, 'x'), 201},
        {"title", QString(101, 'x'), 400},
        {"title", QString(50, QChar(0x3042)), 201}, // あ: two bytes each
        {"title", QString(51, QChar(0x3042)), 400},
        {"title", QString(100, QChar(0xff71)), 201}, // ｱ: one byte each
        {"name", QString(51, 'x'), 400},
        {"mail", QString(51, 'x'), 400},
        {"body", QString(4000, 'x'), 201},
        {"body", QString(1999, 'x') + "\n" + QString(1999, 'x'), 201}, // the break is CR LF
        {"body", QString(2000, 'x') + "\n" + QString(1999, 'x'), 400},
        {"title", "two\nlines", 400},
    };
    for (const auto& c : cases) {
        const WebReply reply = client->Post("/api/threads", {{c.field, c.text}});
        EXPECT_EQ(reply.status, c.status) << c.field << " " << c.text.size();
        if (c.status == 400 && c.text.size() > 10) {
            EXPECT_TRUE(
                reply.Object()["error"].toString().endsWith(Utf8(" 文字以内で入力してください。")));
        }
    }
    std::vector<std::string> ids;
    CThreadIndex(kNews, doc->GetThreadDir()).List(ids);
    EXPECT_EQ(ids.size(), 5u);
}

TEST_F(WebApiTest, DeleteEntryPointsAndEventsFollowTheDesktopsCommands) {
    const std::string id = StoreThread("t", 100);
    // A page listening for events hears of the new row.
    QTcpSocket events;
    events.connectToHost(kAddress, web->Port());
    ASSERT_TRUE(WaitUntil([&] { return events.state() == QAbstractSocket::ConnectedState; }));
    const std::string request = "GET /api/events HTTP/1.1\r\nHost: " + std::string(kAddress) + ":" +
                                std::to_string(web->Port()) + "\r\nAuthorization: Bearer " +
                                web->Token() + "\r\n\r\n";
    events.write(request.data(), static_cast<qint64>(request.size()));
    std::string stream;
    ASSERT_TRUE(WaitUntil([&] {
        stream += events.readAll().toStdString();
        return stream.find("retry:") != std::string::npos;
    }));
    EXPECT_NE(stream.find("text/event-stream"), std::string::npos);

    ASSERT_EQ(client->Call("DELETE", "/api/threads/" + id).status, 200);
    EXPECT_EQ(client->Get("/api/threads").Object()["total"].toInt(), 0);
    EXPECT_EQ(client->Get("/api/threads/" + id).status, 404);
    EXPECT_TRUE(WaitUntil([&] {
        stream += events.readAll().toStdString();
        return stream.find("event: threads") != std::string::npos;
    }));

    // The entry point list as the dialog edits it.
    client->Post("/api/entrypoints/add", {{"entry", "10.0.0.1:6340"}});
    client->Post("/api/entrypoints/add", {{"entry", "10.0.0.2"}});
    client->Post("/api/entrypoints/add", {{"entry", "10.0.0.1"}}); // an entry begins with it
    client->Post("/api/entrypoints/down", {{"index", 0}});
    EXPECT_EQ(client->Post("/api/entrypoints/up", {{"index", 9}}).status, 400);
    EXPECT_EQ(TempDir::ReadFile(dir / "entrypoint.dat"), "10.0.0.1:6340\r\n10.0.0.2\r\n");
    const QJsonArray entries = client->Get("/api/entrypoints").Object()["entries"].toArray();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].toString(), "10.0.0.1:6340");

    // Without a connection, refreshing and fetching say so as the desktop does.
    EXPECT_EQ(client->Post("/api/refresh", {}).Object()["error"].toString(),
              Utf8("pelmarnet に接続されていません。"));
    EXPECT_EQ(client->Call("POST", "/api/threads/" + id + "/fetch").status, 409);
}

TEST_F(WebApiTest, CommandsTakeOnlyTheCategoriesOfTheCategoryFile) {
    const struct {
        const char* what;
        WebReply reply;
        int status;
    } cases[] = {
        {"post into an empty category",
         client->Post("/api/threads", {{"category", ""}, {"body", "b"}}), 400},
        {"post into an unlisted category",
         client->Post("/api/threads", {{"category", "nope"}, {"body", "b"}}), 400},
        {"select an unlisted category", client->Post("/api/select", {{"category", "nope"}}), 404},
        {"select an empty category", client->Post("/api/select", {{"category", ""}}), 404},
        {"delete from an unlisted category",
         client->Call("DELETE", "/api/threads/" + StoreThread("t", 1) + "?category=nope"), 404},
        {"post into a listed child", client->Post("/api/threads", {{"category", Utf8("雑談")}}),
         201},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.reply.status, c.status) << c.what;
    EXPECT_EQ(doc->GetCurrentCategory(), kNews);
    // Nothing was written into the index's root.
    for (const auto& entry : std::filesystem::directory_iterator(doc->GetThreadDir() + "index"))
        EXPECT_TRUE(entry.is_directory()) << entry.path();

    // With no current category a post must name one.
    doc->SetCurrentCategory("");
    EXPECT_EQ(client->Post("/api/threads", {{"body", "b"}}).status, 400);
}

TEST_F(WebApiTest, FieldsWithControlOrUnsendableCharactersAreRefusedWithTheirNames) {
    const struct {
        const char* field;
        QString text;
        int status;
        const char* named; // in the reason
    } cases[] = {
        {"title", QString::fromUtf8("ab\0XY", 5), 400, "control"},
        {"name", QString::fromUtf8("a\x01"), 400, "control"},
        {"mail", QString::fromUtf8("a\x7f"), 400, "control"},
        {"title", QString::fromUtf8("a\tb"), 400, "control"},
        {"body", QString::fromUtf8("a\0b", 3), 400, "control"},
        {"body", QString::fromUtf8("a\tb\nc"), 201, ""},
        {"title", Utf8("絵文字😀です"), 400, "U+1F600"},
        {"body", Utf8("行\u2028区切り"), 400, "U+2028"},
        {"name", Utf8("①ｱ～"), 201, ""}, // CP932 holds these
    };
    for (const auto& c : cases) {
        const WebReply reply = client->Post("/api/threads", {{c.field, c.text}});
        EXPECT_EQ(reply.status, c.status) << c.field << " " << c.text.toStdString();
        EXPECT_NE(reply.Object()["error"].toString().toStdString().find(c.named), std::string::npos)
            << reply.body;
    }
    std::vector<std::string> ids;
    CThreadIndex(kNews, doc->GetThreadDir()).List(ids);
    EXPECT_EQ(ids.size(), 2u);
}

TEST_F(WebApiTest, LimitCountsTheTextAsStoredSoNoEscapeIsCut) {
    const struct {
        QString title;
        int status;
    } cases[] = {
        {QString(100, '<'), 400},                  // 400 bytes once escaped
        {QString(25, '<'), 201},                   // exactly 100
        {QString(24, '>') + QString(5, 'x'), 400}, // 101
    };
    for (const auto& c : cases) {
        const WebReply reply = client->Post("/api/threads", {{"title", c.title}, {"body", "b"}});
        ASSERT_EQ(reply.status, c.status) << c.title.toStdString();
        if (c.status != 201)
            continue;
        CThreadRecord record;
        ASSERT_TRUE(
            record.Load(reply.Object()["id"].toString().toStdString(), doc->GetThreadDir()));
        std::string whole;
        for (int i = 0; i < 25; ++i)
            whole += "&lt;";
        EXPECT_EQ(record.GetTitle(), whole);
    }
}

TEST_F(WebApiTest, DeletingAThreadNotHereOrAnEmptyEntryIsRefused) {
    EXPECT_EQ(client->Call("DELETE", "/api/threads/" + NextId()).status, 404);
    const std::string id = StoreThread("t", 100);
    EXPECT_EQ(client->Call("DELETE", "/api/threads/" + id).status, 200);
    EXPECT_EQ(client->Call("DELETE", "/api/threads/" + id).status, 404);

    for (const char* entry : {"", "  "})
        EXPECT_EQ(client->Post("/api/entrypoints/add", {{"entry", entry}}).status, 400);
    EXPECT_FALSE(std::filesystem::exists(dir / "entrypoint.dat"));
}

TEST_F(WebApiTest, FailingCommandAnswersTheWebAndOpensNoDialog) {
    // The store cannot make a thread's directory: each bucket is a file.
    for (const char bucket : std::string("0123456789abcdef")) {
        const std::string path = doc->GetThreadDir() + bucket;
        std::filesystem::remove_all(path);
        TempDir::WriteFile(path, "");
    }
    const WebReply reply = client->Post("/api/threads", {{"title", "t"}, {"body", "b"}});
    EXPECT_EQ(reply.status, 500);
    EXPECT_EQ(reply.Object()["error"].toString(), Utf8("ファイルの作成に失敗しました。"));
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front();
    // The desktop's own commands still show their messages.
    doc->ReportStoreFailure("x");
    EXPECT_EQ(ui.messages.size(), 1u);
}
