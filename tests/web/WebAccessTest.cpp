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
        {"Cookie: pelmar_token=" + right.substr(1) + "0\r\n", false, 401},
        {"", true, 201},
        {"Cookie: a=b; pelmar_token=" + right + "\r\n", false, 201},
    };
    for (const auto& c : cases) {
        const WebReply reply = client->Call("POST", "/api/threads", R"({"title":"t","body":"b"})",
                                            c.extra, {}, c.withToken);
        EXPECT_EQ(reply.status, c.status) << c.extra;
        if (reply.status == 401) {
            EXPECT_TRUE(reply.Object().contains("error"));
        }
    }
    // Only the two calls that carried the token posted.
    std::vector<std::string> ids;
    CThreadIndex(kNews, doc->GetThreadDir()).List(ids);
    EXPECT_EQ(ids.size(), 2u);
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

TEST_F(WebAccessTest, TokenIsPrivateKeptAcrossStartsAndLoginSetsAStrictCookie) {
    struct stat info {};
    ASSERT_EQ(::stat((dir / "webtoken").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600);
    const std::string token = web->Token();
    StopNode();
    StartNode();
    EXPECT_EQ(web->Token(), token);

    EXPECT_EQ(
        client->Call("GET", "/login?token=" + std::string(token.size(), 'f'), {}, {}, {}, false)
            .status,
        401);
    const WebReply login = client->Call("GET", "/login?token=" + token, {}, {}, {}, false);
    EXPECT_EQ(login.status, 303);
    const std::string cookie = login.Header("set-cookie");
    EXPECT_NE(cookie.find("pelmar_token=" + token), std::string::npos);
    EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
    EXPECT_NE(cookie.find("SameSite=Strict"), std::string::npos);
}

TEST_F(WebAccessTest, OversizedOrMalformedRequestsGetAReasonAndStoreNothing) {
    const std::string big(70 * 1024, 'x');
    const WebReply tooLarge = client->Call("POST", "/api/threads", "{\"body\":\"" + big + "\"}");
    EXPECT_EQ(tooLarge.status, 413);
    EXPECT_TRUE(tooLarge.Object().contains("error"));
    // Larger than any request may be: cut off before the server holds it.
    const WebReply huge = client->Call("POST", "/api/threads", std::string(400 * 1024, 'x'));
    EXPECT_EQ(huge.status, 413);
    EXPECT_EQ(client->Call("POST", "/api/threads", "{\"title\":").status, 400);
    EXPECT_EQ(client->Call("POST", "/api/threads", "[1,2]").status, 400);
    EXPECT_EQ(client->Call("POST", "/api/threads", R"({"title":7})").status, 400);
    std::vector<std::string> ids;
    CThreadIndex(kNews, doc->GetThreadDir()).List(ids);
    EXPECT_TRUE(ids.empty());
    // The interface still answers afterwards.
    EXPECT_EQ(client->Get("/api/status").status, 200);
}
