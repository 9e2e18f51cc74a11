// Fuzz target: "category.dat" bytes, parsed in memory and read from a file.
// Every item's parent is an earlier item one level up.
#include "FuzzSupport.h"

#include "frontend/CategoryFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(fuzz::Text(data, size));
    CCategoryFile parsed;
    const CCategoryFile::Result result = parsed.Parse(bytes);
    if (result == CCategoryFile::Result::Ok) {
        const auto& items = parsed.Items();
        for (std::size_t i = 0; i < items.size(); ++i) {
            const CCategoryItem& item = items[i];
            fuzz::Check(item.depth >= 0 && item.depth <= CCategoryFile::kMaxDepth);
            if (item.depth == 0) {
                fuzz::Check(item.parent == -1);
            } else {
                fuzz::Check(item.parent >= 0 && static_cast<std::size_t>(item.parent) < i);
                fuzz::Check(items[item.parent].depth == item.depth - 1);
            }
        }
    }
    CCategoryFile loaded;
    const auto fromFile = loaded.Load(fuzz::CScratch::Get().Write("category.dat", bytes));
    fuzz::Check(fromFile == result);
    fuzz::Check(loaded.Items().size() == parsed.Items().size());
    return 0;
}
