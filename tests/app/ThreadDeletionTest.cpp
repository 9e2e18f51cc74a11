// DeleteCurrentThread: the question, the thread's files, its index entry and
// the views.
#include "app/PelmarDoc.h"

#include "app/IdGenerator.h"
#include "base/BinaryId.h"
#include "res/Strings.h"
#include "store/StorePaths.h"
#include "store/ThreadIndex.h"
#include "store/UpdatedTimeCache.h"
#include "support/InProcessNode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

class ThreadDeletionTest : public ::testing::Test {
protected:
    // Each test has its own port.
    void StartNode(int port) {
        node = std::make_unique<InProcessNode>("127.0.0.88", port);
        ASSERT_TRUE(node->Start());
        node->doc->SetCurrentCategory("news");
    }
    // The new thread: the one the index did not list before.
    std::string PostThread() {
        const std::vector<std::string> before = Listed();
        node->ui.threadDraft = CThreadDraft{"title", "news", "name", "", "body"};
        node->doc->PostNewThread();
        for (const std::string& id : Listed())
            if (std::find(before.begin(), before.end(), id) == before.end())
                return id;
        ADD_FAILURE() << "the new thread is not listed";
        return std::string();
    }
    std::vector<std::string> Listed() const {
        std::vector<std::string> ids;
        CThreadIndex("news", node->ThreadDir()).List(ids);
        return ids;
    }
    std::string Dir(const std::string& id) const {
        return storepaths::ThreadDir(node->ThreadDir(), id);
    }

    std::unique_ptr<InProcessNode> node;
};

TEST_F(ThreadDeletionTest, AnsweringNoLeavesEverything) {
    StartNode(16481);
    const std::string id = PostThread();
    node->doc->SetCurrentThreadId(id);
    const int refreshes = node->ui.refreshes;
    node->ui.answerYes = false;
    node->doc->DeleteCurrentThread();
    ASSERT_EQ(node->ui.questions, std::vector<std::string>{strings::kConfirmDelete});
    EXPECT_TRUE(fs::exists(storepaths::ThreadFile(node->ThreadDir(), id)));
    EXPECT_EQ(Listed(), std::vector<std::string>{id});
    EXPECT_EQ(node->ui.refreshes, refreshes);
}

TEST_F(ThreadDeletionTest, YesRemovesFilesAndEntryAndKeepsTheSelection) {
    StartNode(16482);
    const std::string kept = PostThread();
    const std::string id = PostThread();
    fs::create_directories(Dir(id) + "/nested/deeper");
    TempDir::WriteFile(Dir(id) + "/nested/deeper/stray", "x");
    node->doc->SetCurrentThreadId(id);
    const int refreshes = node->ui.refreshes;
    const std::size_t shown = node->ui.shownTitles.size();
    CUpdatedTimeCache& times = CUpdatedTimeCache::Instance();
    times.Clear();
    times.SetSettleTime(0);
    Listed(); // both threads' times are kept
    node->ui.answerYes = true;
    node->doc->DeleteCurrentThread();
    EXPECT_EQ(times.Size(), 1u); // the deleted thread's went with it
    times.SetSettleTime(CUpdatedTimeCache::kSettleNs);
    EXPECT_FALSE(fs::exists(Dir(id)));
    EXPECT_EQ(Listed(), std::vector<std::string>{kept});
    EXPECT_TRUE(fs::exists(storepaths::ThreadFile(node->ThreadDir(), kept)));
    EXPECT_EQ(node->ui.refreshes, refreshes + 1);
    ASSERT_EQ(node->ui.shownTitles.size(), shown + 1);
    EXPECT_EQ(node->ui.shownTitles.back(), "");
    EXPECT_EQ(node->doc->GetCurrentThreadId(), id);
}

TEST_F(ThreadDeletionTest, ThreadWithoutFilesStillLeavesTheIndex) {
    StartNode(16483);
    // Listed, as a fetch that stored nothing but the entry would leave it.
    const std::string id = CIdGenerator().GetText();
    CThreadIndex("news", node->ThreadDir()).Add(id);
    ASSERT_EQ(Listed(), std::vector<std::string>{id});
    node->doc->SetCurrentThreadId(id);
    node->ui.answerYes = true;
    node->doc->DeleteCurrentThread();
    EXPECT_TRUE(Listed().empty());
    EXPECT_EQ(node->ui.refreshes, 1);
    EXPECT_EQ(node->ui.shownTitles, std::vector<std::string>{""});
}

TEST_F(ThreadDeletionTest, NoCurrentThreadAsksNothing) {
    StartNode(16484);
    node->ui.answerYes = true;
    node->doc->DeleteCurrentThread();
    EXPECT_TRUE(node->ui.questions.empty());
    EXPECT_EQ(node->ui.refreshes, 0);
}

TEST_F(ThreadDeletionTest, LinkInsideTheThreadNeverReachesOutside) {
    StartNode(16485);
    const std::string id = PostThread();
    TempDir outside;
    TempDir::WriteFile(outside / "precious", "keep");
    fs::create_directory_symlink(outside.Path(), Dir(id) + "/escape");
    node->doc->SetCurrentThreadId(id);
    node->ui.answerYes = true;
    node->doc->DeleteCurrentThread();
    EXPECT_FALSE(fs::exists(Dir(id)));
    EXPECT_EQ(TempDir::ReadFile(outside / "precious"), "keep");
}

TEST_F(ThreadDeletionTest, CurrentIdThatIsNotAThreadIdDeletesNoFiles) {
    StartNode(16486);
    const std::string id = PostThread();
    // A selection that is not an id must never become a path.
    node->doc->SetCurrentThreadId("../" + id.substr(0, 1));
    node->ui.answerYes = true;
    node->doc->DeleteCurrentThread();
    EXPECT_TRUE(fs::exists(Dir(id)));
    EXPECT_EQ(Listed(), std::vector<std::string>{id});
    EXPECT_EQ(node->ui.refreshes, 2); // the post's, then the deletion's
}
