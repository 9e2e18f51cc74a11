// IPelmarUi: the one narrow interface through which the node talks to its user
// interface. The Qt main frame and the headless front end implement it. Every
// call is made on the GUI thread.
#pragma once

#include "base/ThreadSummary.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// The fields of the thread composition dialog, raw Shift_JIS bytes as typed.
struct CThreadDraft {
    std::string title;
    std::string category; // preset to the current category
    std::string name;
    std::string mail;
    std::string body;
};

// The fields of the response composition dialog.
struct CResponseDraft {
    std::string title;
    std::string name;
    std::string mail;
    std::string body;
};

class IPelmarUi {
public:
    enum class MessageIcon { None, Warning };

    virtual ~IPelmarUi() = default;

    // A modal message box with an OK button. The text is one of the program's
    // own messages, in UTF-8.
    virtual void ShowMessage(std::string_view textUtf8, MessageIcon icon) = 0;
    // A modal Yes/No question, No being the default; true only for Yes.
    virtual bool AskYesNo(std::string_view textUtf8) = 0;

    // The entry point dialog: true when closed with its connect button, with
    // the chosen entry (host, host:port or a reflector URL) in entry.
    virtual bool ChooseEntryPoint(std::string& entry) = 0;
    // The composition dialogs: true when closed with their send button.
    virtual bool ComposeThread(CThreadDraft& draft) = 0;
    virtual bool ComposeResponse(CResponseDraft& draft) = 0;

    // Views: reload the thread list from the store; add or refresh one row
    // (only called for the current category); show the current thread in the
    // selected tab, with a new caption and window title when title is not empty.
    virtual void RefreshThreadList() = 0;
    virtual void UpdateThreadRow(const CThreadSummary& summary) = 0;
    virtual void ShowCurrentThread(std::string_view title) = 0;
    // Adds a tab with that title, selects it and shows the current thread in it.
    virtual void OpenThreadInNewTab(std::string_view title) = 0;

    // Status panes: reachability (0 unknown, 1 open, 2 close), the first four
    // established peers' addresses (empty when absent) and fetch progress (0-100).
    virtual void SetStatusOpen(int state) = 0;
    virtual void SetStatusNeighbours(const std::array<std::string, 4>& peers) = 0;
    virtual void SetProgress(int percent) = 0;

    // Start (or restart) the 30-minute reflector timer; each tick calls
    // CPelmarDoc::OnReflectTimer.
    virtual void StartReflectTimer() = 0;

    // A short note of what just happened (a connect that failed, a fetch
    // that found no holder), in UTF-8, for the status line. Front ends
    // without one ignore it.
    virtual void ShowStatusText(std::string_view textUtf8) { (void)textUtf8; }
    // After a response was posted and the thread shown again: bring that
    // response into view. resId is 32 hex digits.
    virtual void RevealResponse(std::string_view resId) { (void)resId; }
    // The store's size in bytes and its thread count, after each hourly
    // look at the store. Front ends without a status line ignore it.
    virtual void SetStatusStore(std::uint64_t bytes, std::size_t threads) {
        (void)bytes;
        (void)threads;
    }
};
