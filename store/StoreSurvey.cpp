// SurveyStore: one pass over "thread/<h>/<T>/" and "thread/index/". Any
// thread; it only reads.
#include "store/StoreSurvey.h"

#include "base/BinaryId.h"
#include "store/StorePaths.h"
#include "store/ThreadRecord.h"

#include <filesystem>
#include <system_error>

namespace {

// The sizes of the regular files below dir; links are not followed.
std::uint64_t FileBytes(const std::string& dir) {
    namespace fs = std::filesystem;
    std::uint64_t bytes = 0;
    std::error_code ec;
    fs::recursive_directory_iterator it(dir, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code statError;
        if (it->is_regular_file(statError)) {
            const auto size = it->file_size(statError);
            if (!statError)
                bytes += size;
        }
    }
    return bytes;
}

} // namespace

SStoreUsage SurveyStore(const std::string& root, const std::atomic<bool>* stop) {
    namespace fs = std::filesystem;
    SStoreUsage usage;
    usage.bytes = FileBytes(storepaths::IndexRoot(root));
    for (const char bucket : std::string_view("0123456789abcdef")) {
        std::error_code ec;
        fs::directory_iterator it(storepaths::BucketDir(root, bucket), ec);
        for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
            if (stop && stop->load())
                return usage;
            const std::string name = it->path().filename().string();
            std::error_code typeError;
            if (!CBinaryId::IsWellFormedText(name) || name[0] != bucket ||
                !it->is_directory(typeError))
                continue;
            SThreadUsage thread;
            thread.threadId = name;
            thread.bytes = FileBytes(it->path().string());
            // A thread whose record cannot be read counts as the oldest: it
            // is the first to go when the store is over its bound.
            CThreadRecord record(0);
            if (record.Load(name, root)) {
                thread.category = record.GetCategory();
                thread.creatorId = record.GetCreatorId().GetText();
                thread.updated = record.GetUpdated();
            }
            usage.bytes += thread.bytes;
            usage.threads.push_back(std::move(thread));
        }
    }
    usage.complete = true;
    return usage;
}
