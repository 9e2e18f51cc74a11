// Fuzz target: "entrypoint.dat" bytes read from a file, and the list edits
// the dialog makes on what was read (which rewrite the file).
#include "FuzzSupport.h"

#include "frontend/EntryPointFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzz::Text(data, size);
    const auto parsed = CEntryPointFile::Parse(bytes);
    std::size_t total = 0;
    for (const std::string& entry : parsed)
        total += entry.size();
    fuzz::Check(total <= bytes.size());

    CEntryPointFile file(fuzz::CScratch::Get().Write("entrypoint.dat", bytes));
    fuzz::Check(file.Load());
    fuzz::Check(file.Entries() == parsed);
    if (!parsed.empty()) {
        const std::string first = file.FirstEntry();
        CEntryPointFile::BeginsWithNoCase(first, parsed.back());
        int selected = static_cast<int>(parsed.size()) - 1;
        file.MoveUp(selected);
        file.MoveDown(selected);
        file.Remove(0);
        file.Add(parsed.back());
        fuzz::Check(file.Load());
    }
    return 0;
}
