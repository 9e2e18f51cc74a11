// CEntryPointFile: "entrypoint.dat", the addresses used before to join the
// network, one Shift_JIS line each, the most recently added first. Holds the
// list of the entry point dialog and rewrites the file after every change, so
// the file always mirrors the list. Plain code called by the dialog on the GUI
// thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class CEntryPointFile {
public:
    static constexpr std::string_view kFileName = "entrypoint.dat";
    // Memory bound only: a list of addresses never comes near it. Of a larger
    // file only the whole lines within the bound are listed, and the file is
    // never rewritten, so nothing past the bound is lost.
    static constexpr std::size_t kMaxFileSize = 64 * 1024 * 1024;
    static constexpr int kNoSelection = -1;

    explicit CEntryPointFile(std::string path);

    // Reads the file; false (and an empty list) when it cannot be opened.
    bool Load();
    // Rewrites the file from the list; false when it cannot be created, or
    // when the file is there but the last Load could not read it whole (the
    // list would replace entries it never held).
    bool Save() const;
    bool CanSave() const { return m_canSave; }
    // Splits file bytes into entries: lines end at a line feed, a carriage
    // return before it is dropped, nothing is trimmed.
    static std::vector<std::string> Parse(std::string_view bytes);

    const std::vector<std::string>& Entries() const { return m_entries; }
    // What the edit shows on opening: the first entry, or empty.
    std::string FirstEntry() const;

    // "Add" and "接続": puts text on top and saves, unless an entry already
    // begins with it (letter case aside). True when it was added.
    bool Add(const std::string& text);
    // "UP" / "DOWN": moves the selected entry one place and saves; the
    // selection follows the entry. Nothing happens without a selection.
    void MoveUp(int& selected);
    void MoveDown(int& selected);
    // "Remove": removes the selected entry and saves.
    void Remove(int selected);

    // Whether entry begins with text, ASCII letters compared without regard
    // to case; double-byte characters are compared whole.
    static bool BeginsWithNoCase(std::string_view entry, std::string_view text);

private:
    bool IsValid(int index) const {
        return index >= 0 && static_cast<std::size_t>(index) < m_entries.size();
    }

    std::string m_path;
    std::vector<std::string> m_entries;
    bool m_canSave = true;
};
