// CUiFanOut: the document's user interface when further views watch the node
// (the web interface beside the desktop or the headless front end). Every call
// goes to the one user interface, which alone answers questions; the views'
// calls and shown messages are then passed on to each watching view. While a
// view runs a command of its own, its messages go to the views alone and its
// questions are answered as one who cancels: a command from the web never
// opens a desktop dialog. GUI thread only.
#pragma once

#include "app/PelmarView.h"

#include <vector>

class CUiFanOut : public IPelmarUi {
public:
    explicit CUiFanOut(IPelmarUi& ui) : m_ui(ui) {}

    void AddView(IPelmarView* view);
    void RemoveView(IPelmarView* view);

    void ShowMessage(std::string_view textUtf8, MessageIcon icon) override;
    bool AskYesNo(std::string_view textUtf8) override {
        return !ViewCommandRuns() && m_ui.AskYesNo(textUtf8);
    }
    bool ChooseEntryPoint(std::string& entry) override {
        return !ViewCommandRuns() && m_ui.ChooseEntryPoint(entry);
    }
    bool ComposeThread(CThreadDraft& draft) override {
        return !ViewCommandRuns() && m_ui.ComposeThread(draft);
    }
    bool ComposeResponse(CResponseDraft& draft) override {
        return !ViewCommandRuns() && m_ui.ComposeResponse(draft);
    }
    void RefreshThreadList() override;
    void UpdateThreadRow(const CThreadSummary& summary) override;
    void ShowCurrentThread(std::string_view title) override;
    void OpenThreadInNewTab(std::string_view title) override;
    void SetStatusOpen(int state) override;
    void SetStatusNeighbours(const std::array<std::string, 4>& peers) override;
    void SetProgress(int percent) override;
    void StartReflectTimer() override { m_ui.StartReflectTimer(); }
    void ShowStatusText(std::string_view textUtf8) override { m_ui.ShowStatusText(textUtf8); }
    void RevealResponse(std::string_view resId) override { m_ui.RevealResponse(resId); }
    void SetStatusStore(std::uint64_t bytes, std::size_t threads) override {
        m_ui.SetStatusStore(bytes, threads);
    }

private:
    bool ViewCommandRuns() const;

    template <typename Call> void ForEachView(Call call) {
        // A copy: a view may leave while it is told.
        const std::vector<IPelmarView*> views = m_views;
        for (IPelmarView* view : views)
            call(*view);
    }

    IPelmarUi& m_ui;
    std::vector<IPelmarView*> m_views;
};
