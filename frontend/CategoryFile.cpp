// CCategoryFile: parsing the nesting of "category.dat".
#include "frontend/CategoryFile.h"

#include "store/FileSystem.h"

CCategoryFile::Result CCategoryFile::Load(const std::string& path) {
    m_items.clear();
    if (!storefs::Exists(path))
        return Result::CannotOpen;
    // One byte over the bound tells a file cut at the bound from one that fits.
    std::string bytes;
    if (!storefs::ReadFile(path, bytes, kMaxFileSize + 1) || bytes.size() > kMaxFileSize)
        return Result::Unreadable;
    return Parse(bytes);
}

CCategoryFile::Result CCategoryFile::Parse(const std::string& bytes) {
    m_items.clear();
    std::vector<int> lastAtDepth(kMaxDepth + 1, -1);
    int previousDepth = -2; // any indented first line is an error
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        std::string line =
            bytes.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? bytes.size() : end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();

        int depth = 0;
        while (depth < static_cast<int>(line.size()) && line[depth] == '\t')
            ++depth;
        std::size_t nameStart = 0;
        while (nameStart < line.size() &&
               (line[nameStart] == ' ' || (line[nameStart] >= '\t' && line[nameStart] <= '\r')))
            ++nameStart;
        CCategoryItem item{line.substr(nameStart), depth, -1};

        if (depth > kMaxDepth)
            return Result::BadNesting;
        if (depth > 0) {
            if (depth > previousDepth + 1)
                return Result::BadNesting;
            item.parent = lastAtDepth[depth - 1];
        }
        lastAtDepth[depth] = static_cast<int>(m_items.size());
        previousDepth = depth;
        m_items.push_back(std::move(item));
    }
    return Result::Ok;
}
