// Tests of the fetch procedure under a recording host: what it asks a holder,
// what it stores, the progress positions it reports, which holders it picks
// and how it treats a holder that sends bad data.
#include "transfer/FetchThread.h"
#include "res/Strings.h"
#include "store/FileSystem.h"
#include "store/ThreadIndex.h"
#include "support/InProcessNode.h"
#include "transfer/ThreadSourceTable.h"
#include "transfer/TransferSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

using namespace transfertest;

namespace {

constexpr const char* kHolderAddress = "127.0.0.61";
constexpr const char* kOwnAddress = "127.0.0.62";

using Position = std::pair<int, int>;

// Records what the fetch reports; read by the test after the fetch ended.
class RecordingHost : public IFetchHost {
public:
    std::string StoreRoot() const override { return root; }
    std::string BindAddress() const override { return kOwnAddress; }
    bool LookupSources(const std::string& threadId, CThreadSources& copy) override {
        lookups.push_back(threadId);
        copy = sources;
        return sources.CountSources() > 0;
    }
    void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
    void ReportStoreFailure(std::string_view text) override { messages.emplace_back(text); }
    void ClearFetchInProgress() override { ++cleared; }
    void Progress(int position, int range) override {
        progress.emplace_back(position, range);
        if (static_cast<int>(progress.size()) == diskFullAfterProgress)
            storefs::SetDiskFullForTests(true);
    }
    void Done() override { ++done; }
    void NoHolder() override { ++noHolder; }
    void Asking(const std::vector<CSourceEntry>& holders) override {
        for (const CSourceEntry& holder : holders)
            asking.push_back(holder.address.GetText() + " " + std::to_string(holder.port));
    }
    bool Stopping() const override { return stop.load(); }
    bool Pause(std::chrono::milliseconds time) override {
        std::this_thread::sleep_for(time);
        return !stop.load();
    }

    std::string root;
    CThreadSources sources;
    std::atomic<bool> stop{false};
    int diskFullAfterProgress = -1; // the disk fills up after this many positions
    std::vector<std::string> lookups;
    std::vector<std::string> asking; // told before the first holder is asked
    std::vector<std::string> messages;
    std::vector<Position> progress;
    int cleared = 0;
    int done = 0;
    int noHolder = 0;
};

class FetchThreadTest : public ::testing::Test {
protected:
    FetchThreadTest() {
        host.root = dir / "thread/";
        std::filesystem::create_directories(host.root + "index");
    }
    void AddHolder(const char* address, int port, std::uint32_t time) {
        CSourceEntry entry;
        entry.address.SetText(address);
        entry.port = static_cast<std::uint16_t>(port);
        entry.time = time;
        host.sources.Add(entry);
    }
    // Runs the fetch on its own thread while this thread keeps the event
    // loop going for a node in the test process.
    void Fetch(const CBinaryId& threadId, int delayMs = 0) {
        std::atomic<bool> finished{false};
        std::thread worker([&] {
            FetchThread(CFetchRequest{threadId.GetText(), delayMs}, host);
            finished = true;
        });
        EXPECT_TRUE(WaitUntil([&] { return finished.load(); }, 30000));
        worker.join();
    }
    // The holder's files of the thread, copied into this node's store.
    void CopyThread(const SeededThread& thread) {
        const std::string id = thread.threadId.GetText();
        std::filesystem::create_directories(storepaths::BucketDir(host.root, id[0]));
        std::filesystem::copy(storepaths::ThreadDir(source.Path(), id),
                              storepaths::ThreadDir(host.root, id),
                              std::filesystem::copy_options::recursive);
    }
    std::size_t HeldHere(const CBinaryId& threadId) {
        std::vector<CBinaryId> held;
        return CResRecord::ListHeld(host.root, threadId.GetText(), held);
    }

    TempDir dir;
    TempDir source; // the store of a fake holder
    RecordingHost host;
};

TEST_F(FetchThreadTest, NewThreadComesByteForByteWithRefreshedCountersAndProgress) {
    InProcessNode holder(kHolderAddress, 16470);
    ASSERT_TRUE(holder.Start());
    const SeededThread thread = SeedThread(holder.ThreadDir(), 100, "news");
    AddHolder(kHolderAddress, 16470, 1000);

    Fetch(thread.threadId);

    EXPECT_EQ(ThreadFileOf(host.root, thread.threadId),
              ThreadFileOf(holder.ThreadDir(), thread.threadId));
    for (const CBinaryId& resId : thread.resIds)
        ASSERT_EQ(ResFileOf(host.root, thread.threadId, resId),
                  ResFileOf(holder.ThreadDir(), thread.threadId, resId));
    CThreadRecord stored;
    ASSERT_TRUE(stored.Load(thread.threadId.GetText(), host.root));
    EXPECT_EQ(stored.GetHeld(), 101);
    EXPECT_EQ(stored.GetResCount(), 101);
    EXPECT_EQ(stored.GetUpdated(), thread.lastTime);
    std::vector<std::string> listed;
    CThreadIndex("news", host.root).List(listed);
    EXPECT_EQ(listed, std::vector<std::string>{thread.threadId.GetText()});

    // One position per listed id (a tenth of the holder's 100), one per
    // stored response out of the ids asked for plus the thread, then the
    // holder's full share.
    std::vector<Position> expected;
    for (int k = 0; k < 100; ++k)
        expected.emplace_back(k / 10, 100);
    for (int stored = 1; stored <= 100; ++stored)
        expected.emplace_back(stored, 101);
    expected.emplace_back(100, 100);
    EXPECT_EQ(host.progress, expected);
    EXPECT_EQ(host.done, 1);
    EXPECT_EQ(host.noHolder, 0);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(FetchThreadTest, HeldThreadAsksOnlyForMissingResponsesAndIsRefreshed) {
    const SeededThread thread = SeedThread(source.Path(), 10, "news");
    // Held here with the opening post and the first four responses.
    CopyThread(thread);
    for (int i = 4; i < 10; ++i)
        std::filesystem::remove(
            storepaths::ResFile(host.root, thread.threadId.GetText(), thread.resIds[i].GetText()));
    CThreadRecord before;
    ASSERT_TRUE(before.Load(thread.threadId.GetText(), host.root));
    before.SetHeld(5);
    before.SetUpdated(thread.lastTime - 6);
    TempDir::WriteFile(storepaths::InfoFile(host.root, thread.threadId.GetText()),
                       before.EncodeInfo());
    FakeHolder holder(kHolderAddress, 16471, ServeFrom(source.Path(), thread.threadId));
    ASSERT_TRUE(holder.Listening());
    AddHolder(kHolderAddress, 16471, 1000);

    Fetch(thread.threadId);

    const std::vector<FakeRequest> requests = holder.Requests();
    ASSERT_EQ(requests.size(), 2u); // the opening post is held: no GET of it
    EXPECT_EQ(requests[0].line,
              "GET /get_res_list/?threadid=" + thread.threadId.GetText() + " HTTP/1.0");
    EXPECT_EQ(requests[1].line, "POST /get_thread/ HTTP/1.0");
    ASSERT_EQ(requests[1].body.size(), 16u * 7);
    EXPECT_EQ(requests[1].body.substr(0, 16), IdBytes(thread.threadId));
    const std::vector<std::string> posted = PostedIds(requests[1].body);
    EXPECT_EQ(std::set<std::string>(posted.begin(), posted.end()),
              (std::set<std::string>{thread.resIds[4].GetText(), thread.resIds[5].GetText(),
                                     thread.resIds[6].GetText(), thread.resIds[7].GetText(),
                                     thread.resIds[8].GetText(), thread.resIds[9].GetText()}));
    EXPECT_EQ(HeldHere(thread.threadId), 10u);
    // Responses stored into a held thread count in its counters too.
    CThreadRecord stored;
    ASSERT_TRUE(stored.Load(thread.threadId.GetText(), host.root));
    EXPECT_EQ(stored.GetHeld(), 11);
    EXPECT_EQ(stored.GetUpdated(), thread.lastTime);
}

TEST_F(FetchThreadTest, EveryResponseHeldSendsBodyOfThreadIdAlone) {
    const SeededThread thread = SeedThread(source.Path(), 2);
    CopyThread(thread);
    FakeHolder holder(kHolderAddress, 16472, ServeFrom(source.Path(), thread.threadId));
    AddHolder(kHolderAddress, 16472, 1000);

    Fetch(thread.threadId);

    const std::vector<FakeRequest> requests = holder.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].body, IdBytes(thread.threadId));
    ASSERT_FALSE(host.progress.empty());
    EXPECT_EQ(host.progress.back(), Position(100, 100));
}

TEST_F(FetchThreadTest, HolderThatListsNothingGetsNoPostAndNoShare) {
    const SeededThread thread = SeedThread(source.Path(), 0);
    FakeHolder holder(kHolderAddress, 16473, ServeFrom(source.Path(), thread.threadId));
    AddHolder(kHolderAddress, 16473, 1000);

    Fetch(thread.threadId);

    const std::vector<FakeRequest> requests = holder.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].line,
              "GET /get_thread/?threadid=" + thread.threadId.GetText() + " HTTP/1.0");
    EXPECT_EQ(requests[1].line.rfind("GET /get_res_list/", 0), 0u);
    EXPECT_TRUE(host.progress.empty());
    // The opening post that came is kept and counted.
    CThreadRecord stored;
    ASSERT_TRUE(stored.Load(thread.threadId.GetText(), host.root));
    EXPECT_EQ(stored.GetHeld(), 1);
    EXPECT_EQ(host.done, 1);
}

TEST_F(FetchThreadTest, OnlyTheThreeNewestOfFourHoldersAreAsked) {
    const CBinaryId threadId = NewId();
    const auto notFound = [](const FakeRequest&) { return std::string(kNotFound); };
    FakeHolder oldest("127.0.0.61", 16474, notFound);
    FakeHolder third("127.0.0.63", 16474, notFound);
    FakeHolder newest("127.0.0.64", 16474, notFound);
    FakeHolder second("127.0.0.65", 16474, notFound);
    // Sightings are entered as they come, the newest last.
    AddHolder("127.0.0.61", 16474, 100);
    AddHolder("127.0.0.63", 16474, 200);
    AddHolder("127.0.0.65", 16474, 300);
    AddHolder("127.0.0.64", 16474, 400);

    Fetch(threadId);

    EXPECT_EQ(host.asking, (std::vector<std::string>{"127.0.0.64 16474", "127.0.0.65 16474",
                                                     "127.0.0.63 16474"}));
    EXPECT_EQ(oldest.Connections(), 0);
    EXPECT_EQ(newest.Connections(), 1);
    EXPECT_EQ(second.Connections(), 1);
    EXPECT_EQ(third.Connections(), 1);
    EXPECT_EQ(host.done, 1);
    EXPECT_FALSE(std::filesystem::exists(storepaths::ThreadDir(host.root, threadId.GetText())));
}

TEST_F(FetchThreadTest, ChunksThatAreNotAskedForResponsesOfThisThreadAreNotStored) {
    const SeededThread thread = SeedThread(source.Path(), 0);
    const SeededThread other = SeedThread(source.Path(), 0);
    const CBinaryId good1 = NewId(), good2 = NewId(), cut = NewId(), unasked = NewId();
    const CBinaryId foreign = NewId(), tiny = NewId(), broken = NewId();
    const auto tid = thread.threadId;
    std::string cutShort = Chunk(ResBytes(tid, cut, "cut")).substr(0, 60);
    const std::string brokenRes = ResBytes(tid, broken, std::string(50, 'b')).substr(0, 100);
    FakeHolder holder(kHolderAddress, 16475, [&](const FakeRequest& request) -> std::string {
        if (request.line.rfind("GET /get_thread/", 0) == 0)
            return OkReply(ThreadFileOf(source.Path(), tid));
        if (request.line.rfind("GET /get_res_list/", 0) == 0)
            return OkReply(IdBytes(good1) + IdBytes(foreign) + IdBytes(tiny) + IdBytes(broken) +
                           IdBytes(good2) + IdBytes(cut));
        std::string reply = "HTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
        reply += Chunk(ResBytes(tid, good1, "one"));
        reply += Chunk(ResBytes(other.threadId, foreign, "foreign thread"));
        reply += Chunk(ResBytes(tid, tiny, "").substr(0, 88));
        reply += Chunk(ResBytes(tid, unasked, "never asked for"));
        reply += Chunk(brokenRes);
        reply += Chunk(ResBytes(tid, good2, "two"));
        return reply + cutShort; // and the connection ends inside the chunk
    });
    holder.CloseAfterPost(true);
    AddHolder(kHolderAddress, 16475, 1000);

    Fetch(tid);

    std::vector<CBinaryId> held;
    CResRecord::ListHeld(host.root, tid.GetText(), held);
    std::set<std::string> heldIds;
    for (const CBinaryId& id : held)
        heldIds.insert(id.GetText());
    EXPECT_EQ(heldIds, (std::set<std::string>{good1.GetText(), good2.GetText()}));
    CResRecord response;
    ASSERT_TRUE(response.Load(tid.GetText(), good2.GetText(), host.root, nullptr));
    EXPECT_EQ(response.GetBody(), "two");
    EXPECT_EQ(host.done, 1);
}

TEST_F(FetchThreadTest, ThreadFileThatIsShortForeignOrCutShortIsNotStored) {
    const SeededThread thread = SeedThread(source.Path(), 1);
    const SeededThread other = SeedThread(source.Path(), 0);
    const std::string opening = ThreadFileOf(source.Path(), thread.threadId);
    const std::vector<std::string> replies = {
        OkReply(opening.substr(0, 57)),
        OkReply(ThreadFileOf(source.Path(), other.threadId)),
        "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(opening.size()) + "\r\n\r\n" +
            opening.substr(0, opening.size() - 1),
        "HTTP/1.0 200 OK\r\nContent-Length: 2000000\r\n\r\n" + opening,
    };
    for (std::size_t i = 0; i < replies.size(); ++i) {
        SCOPED_TRACE(i);
        const std::string reply = replies[i];
        FakeHolder holder(kHolderAddress, 16476, [&](const FakeRequest&) { return reply; });
        holder.CloseAfterAnswer(true);
        host.sources = CThreadSources();
        AddHolder(kHolderAddress, 16476, 1000);
        Fetch(thread.threadId);
        EXPECT_EQ(holder.Requests().size(), 1u); // no list asked after a bad opening post
        EXPECT_FALSE(
            std::filesystem::exists(storepaths::ThreadFile(host.root, thread.threadId.GetText())));
    }
}

TEST_F(FetchThreadTest, ChunkAnnouncedLongerThanAnyFileEndsTheHolder) {
    const SeededThread thread = SeedThread(source.Path(), 0);
    const CBinaryId resId = NewId();
    FakeHolder holder(kHolderAddress, 16477, [&](const FakeRequest& request) -> std::string {
        if (request.line.rfind("GET /get_thread/", 0) == 0)
            return OkReply(ThreadFileOf(source.Path(), thread.threadId));
        if (request.line.rfind("GET /get_res_list/", 0) == 0)
            return OkReply(IdBytes(resId));
        // 0x10012c would be read as 0x012c if lengths were cut to 16 bits.
        const std::string bytes = ResBytes(thread.threadId, resId, std::string(205, 'z'));
        return "HTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10012c\r\n" + bytes +
               "\r\n0\r\n\r\n";
    });
    AddHolder(kHolderAddress, 16477, 1000);

    Fetch(thread.threadId);

    EXPECT_EQ(HeldHere(thread.threadId), 0u);
    EXPECT_EQ(host.done, 1);
}

TEST_F(FetchThreadTest, MoreMissingIdsThanOnePostCanNameGoInSeveralPosts) {
    const SeededThread thread = SeedThread(source.Path(), 0);
    std::string listed;
    for (int i = 0; i < 4100; ++i)
        listed += IdBytes(NewId());
    FakeHolder holder(kHolderAddress, 16479, [&](const FakeRequest& request) -> std::string {
        if (request.line.rfind("GET /get_thread/", 0) == 0)
            return OkReply(ThreadFileOf(source.Path(), thread.threadId));
        if (request.line.rfind("GET /get_res_list/", 0) == 0)
            return OkReply(listed);
        return ChunkedReply({});
    });
    holder.CloseAfterPost(true); // one POST per connection, as a node answers
    AddHolder(kHolderAddress, 16479, 1000);

    Fetch(thread.threadId);

    std::vector<FakeRequest> posts;
    for (const FakeRequest& request : holder.Requests())
        if (request.line.rfind("POST", 0) == 0)
            posts.push_back(request);
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(holder.Connections(), 2);
    EXPECT_EQ(posts[0].body.size(), 16u + 4094 * 16); // within a 16-bit Content-Length
    EXPECT_EQ(posts[1].body.substr(0, 16), IdBytes(thread.threadId));
    EXPECT_EQ(posts[0].body.substr(16) + posts[1].body.substr(16), listed);
}

TEST_F(FetchThreadTest, UnreachableHolderIsSkippedForTheNext) {
    const SeededThread thread = SeedThread(source.Path(), 1);
    FakeHolder holder("127.0.0.63", 16478, ServeFrom(source.Path(), thread.threadId));
    AddHolder("127.0.0.63", 16478, 100);
    AddHolder(kHolderAddress, 16478, 200); // newest, but nothing listens there

    Fetch(thread.threadId);

    EXPECT_EQ(HeldHere(thread.threadId), 1u);
    // range 200; the unreachable holder earns no share.
    ASSERT_FALSE(host.progress.empty());
    EXPECT_EQ(host.progress.back(), Position(100, 200));
}

} // namespace

// A disk that fills up before or during a fetch: the first refused write is
// told once and ends the fetch; no file is left under a name that is served;
// what was held stays whole; the same fetch completes once space returns.
TEST_F(FetchThreadTest, FullDiskEndsTheFetchOnceToldAndTheNextFetchCompletes) {
    InProcessNode holder(kHolderAddress, 16479);
    ASSERT_TRUE(holder.Start());
    const SeededThread kept = SeedThread(source.Path(), 3, "news");
    CopyThread(kept);
    const std::string keptFile = ThreadFileOf(host.root, kept.threadId);
    const struct {
        int fullAfterProgress; // 0: full from the start
        bool threadStored;
    } cases[] = {{0, false}, {150, true}};
    for (const auto& c : cases) {
        const SeededThread thread = SeedThread(holder.ThreadDir(), 100, "news");
        host.sources = CThreadSources();
        AddHolder(kHolderAddress, 16479, 1000);
        host.messages.clear();
        host.progress.clear();
        host.diskFullAfterProgress = c.fullAfterProgress;
        storefs::SetDiskFullForTests(c.fullAfterProgress == 0);

        Fetch(thread.threadId);
        storefs::SetDiskFullForTests(false);

        EXPECT_EQ(host.messages, std::vector<std::string>{strings::kFileCreateFailed})
            << c.fullAfterProgress;
        const std::string id = thread.threadId.GetText();
        EXPECT_EQ(std::filesystem::exists(storepaths::ThreadFile(host.root, id)), c.threadStored);
        // Every file under a store name is whole; no temporary file stays.
        std::size_t held = 0;
        if (std::filesystem::exists(storepaths::ThreadDir(host.root, id)))
            for (const auto& entry :
                 std::filesystem::directory_iterator(storepaths::ThreadDir(host.root, id))) {
                const std::string name = entry.path().filename().string();
                ASSERT_EQ(name.find(".tmp"), std::string::npos) << name;
                if (name.size() == 36 && name.ends_with(".res")) {
                    ++held;
                    const CBinaryId resId = CBinaryId::FromText(name.substr(0, 32));
                    EXPECT_EQ(ResFileOf(host.root, thread.threadId, resId),
                              ResFileOf(holder.ThreadDir(), thread.threadId, resId));
                }
            }
        EXPECT_LT(held, 100u) << "the fetch went on after the disk was full";
        EXPECT_EQ(ThreadFileOf(host.root, kept.threadId), keptFile);
        EXPECT_EQ(HeldHere(kept.threadId), 3u);

        host.diskFullAfterProgress = -1;
        host.messages.clear();
        Fetch(thread.threadId);
        EXPECT_TRUE(host.messages.empty());
        EXPECT_EQ(HeldHere(thread.threadId), 100u);
        CThreadRecord stored;
        ASSERT_TRUE(stored.Load(id, host.root));
        EXPECT_EQ(stored.GetHeld(), 101);
        std::vector<std::string> listed;
        CThreadIndex("news", host.root).List(listed);
        EXPECT_NE(std::find(listed.begin(), listed.end(), id), listed.end());
    }
}
