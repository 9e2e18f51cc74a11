// CPageBuilder: the thread page "current.html", built from the store as one
// Shift_JIS byte string: the opening post, then the held responses in posting
// order. Plain code called by the thread HTML view on the GUI thread; the view
// picks the path and navigates to it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <vector>

class IPageFilter;
class IStoreReporter;

// One post of a thread as its record holds it (texts raw, not escaped).
struct CPagePost {
    std::string title;
    std::string name;
    std::string mail;
    std::uint32_t time = 0;
    std::string id; // thread id for the opening post, else the response id
    std::string body;
};

class CPageBuilder {
public:
    enum class Outcome {
        NoThread,   // no current thread: nothing written, the view stays where it is
        Written,    // the file holds the page
        NotWritten, // the file could not be written; the view shows the page all the same
        Superseded  // a page asked for later is in the file already (CPageFile)
    };

    static constexpr std::string_view kFileName = "current.html";

    // root is the store root ("thread/"); reporter is told about response
    // files that cannot be read (nullptr: silent).
    CPageBuilder(std::string root, IStoreReporter* reporter);

    // The page of a thread: empty when its record cannot be loaded, the
    // no-data page when none of its posts is held.
    std::string BuildPage(std::string_view threadId) const;
    // The same with the reader's filter: posts it hides are left out, posts
    // it replaces show "あぼーん" with their time and id. Without a filter,
    // or when it shows every post, the page is the one above byte for byte.
    std::string BuildPage(std::string_view threadId, const IPageFilter* filter) const;
    // The posts the page shows, in its order: the opening post, then the held
    // responses ascending by posting time (equal times in listing order).
    // Empty when the record cannot be loaded or none of its posts is held.
    std::vector<CPagePost> LoadPosts(std::string_view threadId) const;
    // Builds the page (with the reader's filter, when given) and replaces
    // the file at path with it, whole, through CPageFile. ticket orders it
    // against pages asked for on other threads (0: a new ticket now). page,
    // when given, receives the bytes built: what the caller shows, whatever
    // the file holds by then.
    Outcome RenderThread(std::string_view threadId, const std::string& path,
                         const IPageFilter* filter = nullptr, std::string* page = nullptr,
                         std::uint64_t ticket = 0) const;

    // Local time as "%y/%m/%d %H:%M:%S"; empty when it cannot be converted.
    // Reads the time zone from the C library (TZ).
    static std::string FormatTime(std::uint32_t time);
    // "<" to "&lt;", then ">" to "&gt;"; nothing else.
    static std::string Escape(std::string_view text);
    // The page shown for a thread none of whose posts is held.
    static std::string_view NoDataPage();

private:
    std::string m_root;
    IStoreReporter* m_reporter;
};
