// CNgPageFilter: the NG filter as the page builder asks it, for the posts of
// one thread in its category. A short-lived value made for one page.
#pragma once

#include "frontend/PageBuilder.h"
#include "frontend/PageFilter.h"
#include "reader/NgFilter.h"

#include <string>

class CNgPageFilter : public IPageFilter {
public:
    CNgPageFilter(const CNgFilter& filter, std::string threadId, std::string categoryUtf8)
        : m_filter(filter), m_threadId(std::move(threadId)), m_category(std::move(categoryUtf8)) {}

    EPostShow Judge(const CPagePost& post) const override {
        switch (m_filter.Judge(CNgSubject{post.title, post.name, post.mail, post.body}, m_threadId,
                               m_category)) {
        case ENgAction::Hide:
            return EPostShow::Hide;
        case ENgAction::Abone:
            return EPostShow::Abone;
        case ENgAction::None:
            break;
        }
        return EPostShow::Show;
    }

private:
    const CNgFilter& m_filter;
    std::string m_threadId;
    std::string m_category;
};
