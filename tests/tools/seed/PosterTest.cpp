// The demo's poster: every sample goes into the store whole, as the
// composition dialogs would have handed it over (CP932 bytes, CR LF line
// ends), dated as the sample says and signed by the node.
#include "Poster.h"
#include "SampleThreads.h"

#include "app/PelmarDoc.h"
#include "store/ResRecord.h"
#include "store/ThreadRecord.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {
constexpr std::uint32_t kNow = 1765000000;

// A bare LF would show as no line break at all on the page.
bool HasBareLineFeed(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            return true;
    return false;
}
} // namespace

TEST(PosterTest, StoresEverySampleWholeAsTheDialogsWould) {
    TempDir dir;
    TempDir::WriteFile(dir / "seed.ini", "[Network]\nPort=0\n");
    CPoster poster;
    CPelmarDoc::Options options;
    options.iniPath = dir / "seed.ini";
    options.bindAddress = "127.0.0.1";
    options.dataDir = dir.Path();
    CPelmarDoc doc(poster, options);
    poster.SetDocument(&doc);
    ASSERT_TRUE(doc.Start());

    for (const CSampleThread& sample : SampleThreads()) {
        SCOPED_TRACE(sample.title);
        const std::string id = poster.Post(sample, kNow);
        ASSERT_EQ(id.size(), 32u);

        CThreadRecord thread;
        ASSERT_TRUE(thread.Load(id, doc.GetThreadDir()));
        EXPECT_EQ(thread.GetTitle(), ToCp932(sample.title).value());
        EXPECT_EQ(thread.GetCategory(), ToCp932(sample.category).value());
        EXPECT_FALSE(HasBareLineFeed(thread.GetBody()));
        EXPECT_EQ(thread.GetCreatorId().GetText(), doc.GetServentId());
        EXPECT_EQ(thread.GetCreated(), kNow - sample.hoursAgo * 3600);
        EXPECT_EQ(thread.GetHeld(), 1 + sample.responses.size());
        EXPECT_EQ(thread.GetResCount(), 1 + sample.responses.size());

        std::vector<CBinaryId> held;
        CResRecord::ListHeld(doc.GetThreadDir(), id, held);
        std::set<std::string> bodies;
        std::uint32_t latest = thread.GetCreated();
        for (const CBinaryId& resId : held) {
            CResRecord res;
            ASSERT_TRUE(res.Load(id, resId.GetText(), doc.GetThreadDir(), nullptr));
            EXPECT_FALSE(HasBareLineFeed(res.GetBody()));
            EXPECT_LE(res.GetTime(), kNow);
            latest = std::max(latest, res.GetTime());
            bodies.insert(res.GetBody());
        }
        std::set<std::string> expected;
        for (const CSampleResponse& response : sample.responses) {
            std::string body = ToCp932(response.body).value();
            for (std::size_t at = body.find('\n'); at != std::string::npos;
                 at = body.find('\n', at + 2))
                body.insert(at, 1, '\r');
            expected.insert(body);
        }
        EXPECT_EQ(bodies, expected);
        EXPECT_EQ(thread.GetUpdated(), latest);
    }
}
