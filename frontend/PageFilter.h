// IPageFilter: what the reader's filters decide for each post of a thread
// page. The page builder asks it for every post; a post it hides is never
// written into the page, one it replaces shows as "あぼーん". Called on the
// thread that builds the page.
#pragma once

struct CPagePost;

enum class EPostShow { Show, Abone, Hide };

class IPageFilter {
public:
    virtual ~IPageFilter() = default;
    virtual EPostShow Judge(const CPagePost& post) const = 0;
};
