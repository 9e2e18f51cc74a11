// CCategoryFile: "category.dat", the category tree: one Shift_JIS name a line,
// nested by leading tabs. Plain code used by the category tree view and by the
// headless node, on the GUI thread.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct CCategoryItem {
    std::string name; // raw Shift_JIS bytes, leading white space removed
    int depth = 0;
    int parent = -1; // index of the parent item, -1 at the top level
};

class CCategoryFile {
public:
    // CannotOpen: there is no such file. Unreadable: there is one, but it
    // could not be read whole (a directory, a read error, over kMaxFileSize).
    enum class Result { Ok, CannotOpen, Unreadable, BadNesting };

    // Reads the file; on BadNesting the items read so far are not to be used.
    Result Load(const std::string& path);
    Result Parse(const std::string& bytes);

    const std::vector<CCategoryItem>& Items() const { return m_items; }

    static constexpr int kMaxDepth = 255;
    // Far more than any category tree; a larger file is not a tree to show.
    static constexpr std::size_t kMaxFileSize = 16 * 1024 * 1024;

private:
    std::vector<CCategoryItem> m_items;
};
