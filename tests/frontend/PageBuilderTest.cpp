// CPageBuilder: the exact bytes of the thread page, its response order and
// the pages of threads that are missing or not held.
#include "frontend/PageBuilder.h"

#include "frontend/PageFilter.h"

#include "store/ResRecord.h"
#include "store/StoreReporter.h"
#include "store/ThreadRecord.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

const std::string kThreadId = "0123456789abcdef0123456789abcdef";
const std::string kIdA = "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa";
const std::string kIdB = "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb";

class PageBuilderTest : public ::testing::Test, public IStoreReporter {
protected:
    void ReportStoreFailure(std::string_view) override { ++reports; }
    void SetUp() override {
        ::setenv("TZ", "JST-9", 1);
        ::tzset();
    }

    void MakeThread(std::uint16_t held) {
        CThreadRecord thread(CBinaryId::FromText(kThreadId), "T<1>", "cat", "a<b>", "x\"y",
                             "x\r\ny\r\n", {}, {}, 1015675507, 1015675507);
        thread.SetHeld(held);
        ASSERT_TRUE(thread.Create(root, nullptr));
    }
    static CResRecord Res(const std::string& resId, std::string name, std::string mail,
                          std::uint32_t time) {
        return CResRecord(CBinaryId::FromText(kThreadId), CBinaryId::FromText(resId), {}, "Re",
                          name, mail, "&lt;ok", {}, {}, time);
    }

    TempDir dir;
    std::string root = dir.Path() + "thread/";
    int reports = 0;
    CPageBuilder builder{root, this};
};

TEST_F(PageBuilderTest, ThreadThenResponsesInPostingOrderByteForByte) {
    MakeThread(1);
    ASSERT_TRUE(Res(kIdA, "r", " ", 1015675600).Create(root, nullptr));
    ASSERT_TRUE(Res(kIdB, "r", " ", 1015675600).Create(root, nullptr));
    // The response the directory lists first becomes the later post (rewritten in
    // place, so the listing keeps its order).
    std::vector<CBinaryId> listed;
    ASSERT_EQ(CResRecord::ListHeld(root, kThreadId, listed), 2u);
    const std::string kLateRes = listed[0].GetText(), kEarlyRes = listed[1].GetText();
    TempDir::WriteFile(root + "0/" + kThreadId + "/" + kLateRes + ".res",
                       Res(kLateRes, "n&m", "", 1015675700).Encode());
    // A ".res" whose name is no response id cannot be read: reported, left out.
    TempDir::WriteFile(root + "0/" + kThreadId + "/junk.res", "junk");

    const std::string expected =
        "<html><head>\r\n"
        "<meta http-equiv=\"Content-Language\" content=\"ja\">\r\n"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=shift_jis\">\r\n"
        "<title>T&lt;1&gt;</title>\r\n"
        "</head><body><dl>\r\n"
        "<dt><font color=\"#000080\"><b>T&lt;1&gt;</b></font>  <a href=\"mailto:x&quot;y\">"
        "a&lt;b&gt;</a> <font size=\"2\">02/03/09 21:05:07</font> "
        "<font color=\"#FFFFFF\" size=\"2\">" +
        kThreadId +
        "</font><dd>x<br>\ny<br>\n<br><br>\r\n"
        "<dt><font color=\"#000080\"><b>Re</b></font>  <a href=\"mailto: \">r</a> "
        "<font size=\"2\">02/03/09 21:06:40</font> <font color=\"#FFFFFF\" size=\"2\">" +
        kEarlyRes +
        "</font><dd>&lt;ok<br><br>\r\n"
        "<dt><font color=\"#000080\"><b>Re</b></font>  <font color=\"#008000\">n&m</font> "
        "<font size=\"2\">02/03/09 21:08:20</font> <font color=\"#FFFFFF\" size=\"2\">" +
        kLateRes +
        "</font><dd>&lt;ok<br><br>\r\n"
        "</dl></body></html>";
    EXPECT_EQ(builder.BuildPage(kThreadId), expected);
    EXPECT_EQ(reports, 1);
    const std::string path = dir / "current.html";
    TempDir::WriteFile(path, std::string(5000, 'z')); // an older, longer page
    builder.RenderThread(kThreadId, path);
    EXPECT_EQ(TempDir::ReadFile(path), expected);
}

TEST_F(PageBuilderTest, NoThreadWritesNothingMissingThreadAnEmptyFileNotHeldTheNoDataPage) {
    const std::string path = dir / "current.html";
    EXPECT_EQ(builder.RenderThread("", path), CPageBuilder::Outcome::NoThread);
    EXPECT_FALSE(std::filesystem::exists(path));
    TempDir::WriteFile(path, "old page");
    EXPECT_EQ(builder.RenderThread(kThreadId, path), CPageBuilder::Outcome::Written);
    EXPECT_EQ(TempDir::ReadFile(path), "");

    MakeThread(0);
    EXPECT_EQ(builder.BuildPage(kThreadId),
              "<html><body><br><br><p align=\"center\">\x83\x66\x81\x5b\x83\x5e\x82\xaa\x91\xb6"
              "\x8d\xdd\x82\xb5\x82\xdc\x82\xb9\x82\xf1\x81\x42</p></body></html>");
}

// Judges each post by its name: "hide" hides, "abone" replaces.
class CNameFilter : public IPageFilter {
public:
    EPostShow Judge(const CPagePost& post) const override {
        return post.name == "hide"    ? EPostShow::Hide
               : post.name == "abone" ? EPostShow::Abone
                                      : EPostShow::Show;
    }
};

TEST_F(PageBuilderTest, FilterThatShowsEveryPostKeepsThePageByteForByte) {
    MakeThread(1);
    ASSERT_TRUE(Res(kIdA, "r", "", 1015675600).Create(root, nullptr));
    CNameFilter filter;
    EXPECT_EQ(builder.BuildPage(kThreadId, &filter), builder.BuildPage(kThreadId));
}

TEST_F(PageBuilderTest, HiddenPostIsLeftOutAndReplacedPostShowsAboneWithItsTimeAndId) {
    MakeThread(1);
    ASSERT_TRUE(CResRecord(CBinaryId::FromText(kThreadId), CBinaryId::FromText(kIdA), {}, "Re",
                           "hide", "", "secret", {}, {}, 1015675600)
                    .Create(root, nullptr));
    ASSERT_TRUE(CResRecord(CBinaryId::FromText(kThreadId), CBinaryId::FromText(kIdB), {}, "Re",
                           "abone", "m", "rude", {}, {}, 1015675700)
                    .Create(root, nullptr));
    CNameFilter filter;
    const std::string page = builder.BuildPage(kThreadId, &filter);
    EXPECT_EQ(page.find(kIdA), std::string::npos);
    EXPECT_EQ(page.find("secret"), std::string::npos);
    EXPECT_EQ(page.find("rude"), std::string::npos);
    const std::string abone = "\x82\xa0\x82\xda\x81\x5b\x82\xf1";
    EXPECT_NE(page.find("<dt><font color=\"#000080\"><b>" + abone +
                        "</b></font>  <font color=\"#008000\">" + abone +
                        "</font> <font size=\"2\">02/03/09 21:08:20</font> "
                        "<font color=\"#FFFFFF\" size=\"2\">" +
                        kIdB + "</font><dd>" + abone + "<br><br>\r\n"),
              std::string::npos);
}

} // namespace
