// The web interface's gate: token, Host and Origin, the headers every answer
// carries, and the bound on request sizes.
#include "web/WebFixture.h"

#include <sys/stat.h>

using WebAccessTest = WebFixture;

TEST_F(WebAccessTest, ApiNeedsTheTokenAndDoesNothingWithoutIt) {
    const std::string right = web->Token();
    const struct {
        std::string extra;
        bool withToken;
        int status;
    } cases[] = {
        {"", false, 401},
        {"Authorization: Bearer " + std::string(right.size(), '0') + "\r\n", false, 401},
        {"Authorization: Basic " + right + "\r\n", false, 401},
        {"", true, 201},
        // A host's cookies reach every port of it: never a credential here.
        {"Cookie: a=b; pelmar_token=" + right + "\r\n", false, 401},
    };
    for (const auto& c : cases) {
        const WebReply reply = client->Call("POST", "/api/threads", R"({"title":"t","body":"b"})",
                                            c.extra, {}, c.withToken);
        EXPECT_EQ(reply.status, c.status) << c.extra;
        if (reply.status == 401) {
            EXPECT_TRUE(reply.Object().contains("error"));
        }
    }
    // Only the call that carried the token posted.
    std::vector<std::string> ids;
    CThreadIndex(kNews, doc->GetThreadDir()).List(ids);
    EXPECT_EQ(ids.size(), 1u);
}

TEST_F(WebAccessTest, ForeignHostOrOriginIsForbidden) {
    StopNode();
    StartNode({"pelmar.example"});
    const std::string own = std::string(kAddress) + ":" + std::to_string(web->Port());
    const struct {
        std::string host;
        std::string extra;
        int status;
    } cases[] = {
        {"evil.example:" + std::to_string(web->Port()), "", 403},         // a rebound name
        {own, "Origin: http://evil.example\r\n", 403},                    // another site
        {own, "Origin: null\r\n", 403},                                   // a sandboxed page
        {own, "Origin: http://" + std::string(kAddress) + ":1\r\n", 403}, // another port
        {own, "Sec-Fetch-Site: cross-site\r\n", 403},
        {own, "Sec-Fetch-Site: same-site\r\n", 403}, // another port of this host
        {own, "Sec-Fetch-Site: same-origin\r\n", 200},
        {own, "Sec-Fetch-Site: none\r\n", 200},
        {own, "Origin: http://" + own + "\r\n", 200},
        {"localhost:" + std::to_string(web->Port()), "", 200},
        {"pelmar.example", "Origin: https://pelmar.example\r\n", 200}, // behind a proxy
    };
    for (const auto& c : cases)
        EXPECT_EQ(client->Call("GET", "/api/status", {}, c.extra, c.host).status, c.status)
            << c.host << " " << c.extra;
    // The page itself is no different.
    EXPECT_EQ(client->Call("GET", "/", {}, {}, "evil.example").status, 403);
}

TEST_F(WebAccessTest, EveryAnswerForbidsFramingSniffingCachingAndForeignScripts) {
    for (const std::string path : {"/", "/app.js", "/api/status", "/api/nothing"}) {
        const WebReply reply = client->Get(path);
        EXPECT_NE(reply.Header("content-security-policy").find("default-src 'self'"),
                  std::string::npos)
            << path;
        EXPECT_NE(reply.Header("content-security-policy").find("frame-ancestors 'none'"),
                  std::string::npos);
        EXPECT_EQ(reply.Header("x-frame-options"), "DENY");
        EXPECT_EQ(reply.Header("x-content-type-options"), "nosniff");
        EXPECT_EQ(reply.Header("cache-control"), "no-store");
    }
    // No inline script in the page: its only script is its own file.
    const std::string page = client->Get("/").body;
    EXPECT_NE(page.find("<script src=\"app.js\""), std::string::npos);
    EXPECT_EQ(page.find("<script>"), std::string::npos);
}

TEST_F(WebAccessTest, TokenIsPrivateKeptAcrossStartsAndNeverSetAsACookie) {
    struct stat info {};
    ASSERT_EQ(::stat((dir / "webtoken").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600);
    const std::string token = web->Token();
    StopNode();
    StartNode();
    EXPECT_EQ(web->Token(), token);

    // The old login address sends the token on to the fragment, which the
    // browser keeps to itself; nothing is set.
    const struct {
        std::string query;
        std::string location;
    } cases[] = {
        {"?token=" + token, "/#token=" + token},
        {"?token=" + std::string(token.size(), 'f'), "/#token=" + std::string(token.size(), 'f')},
        {"?token=a%0d%0aSet-Cookie:x=1", "/"},
        {"", "/"},
    };
    for (const auto& c : cases) {
        const WebReply login = client->Call("GET", "/login" + c.query, {}, {}, {}, false);
        EXPECT_EQ(login.status, 303) << c.query;
        EXPECT_EQ(login.Header("location"), c.location);
        EXPECT_EQ(login.Header("set-cookie"), "");
    }
}

TEST_F(WebAccessTest, TokenPlaceThatIsNotAFileIsLeftAsItIs) {
    StopNode();
    ASSERT_EQ(::unlink((dir / "webtoken").c_str()), 0);
    ASSERT_EQ(::mkdir((dir / "webtoken").c_str(), 0755), 0);
    CPelmarDoc::Options options;
    options.iniPath = dir / "pelmar.ini";
    options.applicationDir = dir.Path();
    options.dataDir = dir.Path();
    options.bindAddress = kAddress;
    CPelmarDoc node(fanOut, options);
    ASSERT_TRUE(node.Start());
    CWebInterface::Options webOptions;
    webOptions.address = kAddress;
    webOptions.port = 0;
    CWebInterface refused(node, webOptions);
    std::string error;
    EXPECT_FALSE(refused.Start(error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    struct stat info {};
    ASSERT_EQ(::stat((dir / "webtoken").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0755);
}

TEST_F(WebAccessTest, PathsAskedWithAnotherMethodGet405WithTheMethodsTheyTake) {
    const std::string thread = "/api/threads/" + NextId();
    const struct {
        std::string method;
        std::string path;
        int status;
        std::string allow;
    } cases[] = {
        {"HEAD", "/api/status", 405, "GET"},       {"HEAD", "/", 405, "GET"},
        {"PUT", "/api/threads", 405, "GET, POST"}, {"PATCH", thread, 405, "GET, DELETE"},
        {"DELETE", "/api/status", 405, "GET"},     {"GET", thread + "/fetch", 405, "POST"},
        {"GET", "/api/nothing", 404, ""},          {"HEAD", "/nothing", 404, ""},
    };
    for (const auto& c : cases) {
        const WebReply reply = client->Call(c.method, c.path);
        EXPECT_EQ(reply.status, c.status) << c.method << " " << c.path;
        EXPECT_EQ(reply.Header("allow"), c.allow) << c.method << " " << c.path;
        EXPECT_EQ(reply.Header("x-frame-options"), "DENY");
        if (c.method == "HEAD") {
            EXPECT_EQ(reply.body, "") << c.path;
        } else {
            EXPECT_TRUE(reply.Object().contains("error")) << c.method << " " << c.path;
        }
    }
}

TEST_F(WebAccessTest, OversizedOrMalformedRequestsGetAReasonAndStoreNothing) {
    const std::string big(70 * 1024, 'x');
    const WebReply tooLarge = client->Call("POST", "/api/threads", "{\"body\":\"" + big + "\"}");
    EXPECT_EQ(tooLarge.status, 413);
    EXPECT_TRUE(tooLarge.Object().contains("error"));
    // Larger than any request may be: cut off before the server holds it.
    const WebReply huge = client->Call("POST", "/api/threads", std::string(400 * 1024, 'x'));
    EXPECT_EQ(huge.status, 413);
    EXPECT_EQ(huge.Header("x-frame-options"), "DENY");
    EXPECT_EQ(huge.Header("referrer-policy"), "no-referrer");
    EXPECT_NE(huge.Header("content-security-policy").find("frame-ancestors 'none'"),
              std::string::npos);
    EXPECT_EQ(client->Call("POST", "/api/threads", "{\"title\":").status, 400);
    EXPECT_EQ(client->Call("POST", "/api/threads", "[1,2]").status, 400);
    EXPECT_EQ(client->Call("POST", "/api/threads", R"({"title":7})").status, 400);
    std::vector<std::string> ids;
    CThreadIndex(kNews, doc->GetThreadDir()).List(ids);
    EXPECT_TRUE(ids.empty());
    // The interface still answers afterwards.
    EXPECT_EQ(client->Get("/api/status").status, 200);
}
