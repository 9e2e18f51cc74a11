// Fuzz target: a store whose files hold anything. The input is cut at "\n--\n"
// into the bytes of one thread's ".thread", ".info" and ".res" and of its
// category's ".index"; then the node loads, recounts, lists, answers a query
// and files the thread again, as it would at any time.
#include "FuzzSupport.h"

#include "store/EscapedName.h"
#include "store/FileSystem.h"
#include "store/ResRecord.h"
#include "store/StorePaths.h"
#include "store/ThreadIndex.h"
#include "store/ThreadRecord.h"

#include <vector>

namespace {

constexpr std::string_view kThread = "1123456789abcdef0123456789abcdef";
constexpr std::string_view kRes = "9fedcba9876543210fedcba987654321";
constexpr std::string_view kCategory = "fuzz";

std::vector<std::string_view> Parts(std::string_view bytes) {
    std::vector<std::string_view> parts;
    while (parts.size() < 3) {
        const std::size_t cut = bytes.find("\n--\n");
        if (cut == std::string_view::npos)
            break;
        parts.push_back(bytes.substr(0, cut));
        bytes.remove_prefix(cut + 4);
    }
    parts.push_back(bytes);
    parts.resize(4);
    return parts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string root = fuzz::CScratch::Get().Dir() + "/thread/";
    const auto parts = Parts(fuzz::Text(data, size));
    static const std::string escaped = CEscapedName(std::string(kCategory)).GetText();
    storefs::MakeDirectories(storepaths::ThreadDir(root, kThread));
    storefs::MakeDirectories(storepaths::CategoryDir(root, escaped));
    storefs::WriteFileAtomically(storepaths::ThreadFile(root, kThread), parts[0]);
    storefs::WriteFileAtomically(storepaths::InfoFile(root, kThread), parts[1]);
    storefs::WriteFileAtomically(storepaths::ResFile(root, kThread, kRes), parts[2]);
    storefs::WriteFileAtomically(storepaths::IndexFile(root, escaped), parts[3]);
    storefs::CreateEmptyFile(storepaths::MarkerFile(root, escaped, kThread));

    CThreadRecord thread;
    thread.Load(kThread, root);
    CResRecord res;
    res.Load(kThread, kRes, root, nullptr);
    std::vector<CBinaryId> held;
    fuzz::Check(CResRecord::ListHeld(root, kThread, held) == 1 && held.size() == 1);

    CThreadIndex index(std::string(kCategory), root);
    std::vector<std::string> answers;
    const std::size_t answered = index.MatchQuery("", answers);
    fuzz::Check(answered == answers.size() && answered <= CThreadIndex::kMaxQueryAnswers);
    for (const std::string& id : answers)
        fuzz::Check(CBinaryId::IsWellFormedText(id));
    index.MatchQuery(kThread, answers);

    CThreadRecord refreshed;
    refreshed.SetThreadId(CBinaryId::FromText(kThread));
    refreshed.Load(kThread, root);
    refreshed.Refresh(root, nullptr);
    fuzz::Check(index.Add(kThread));
    std::string rewritten;
    storefs::ReadFile(storepaths::IndexFile(root, escaped), rewritten, 1 << 20);
    fuzz::Check(rewritten.size() % 16 == 0 &&
                rewritten.size() <= (CThreadIndex::kMaxEntries + 1) * 16);
    std::vector<std::string> listed;
    fuzz::Check(index.List(listed) == 1);
    fuzz::Check(index.Remove(kThread));
    return 0;
}
