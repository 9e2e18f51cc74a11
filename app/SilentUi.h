// CSilentUi: a user interface that shows nothing and answers every question as
// a user who cancels would. Tools and benchmarks that run a document without a
// person derive from it and override only what they need. GUI thread.
#pragma once

#include "app/PelmarUi.h"

class CSilentUi : public IPelmarUi {
public:
    void ShowMessage(std::string_view, MessageIcon) override {}
    bool AskYesNo(std::string_view) override { return false; }
    bool ChooseEntryPoint(std::string&) override { return false; }
    bool ComposeThread(CThreadDraft&) override { return false; }
    bool ComposeResponse(CResponseDraft&) override { return false; }
    void RefreshThreadList() override {}
    void UpdateThreadRow(const CThreadSummary&) override {}
    void ShowCurrentThread(std::string_view) override {}
    void OpenThreadInNewTab(std::string_view) override {}
    void SetStatusOpen(int) override {}
    void SetStatusNeighbours(const std::array<std::string, 4>&) override {}
    void SetProgress(int) override {}
    void StartReflectTimer() override {}
};
