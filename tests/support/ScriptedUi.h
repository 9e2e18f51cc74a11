// ScriptedUi: an IPelmarUi for tests. It records what the node shows and
// answers dialogs from a script set by the test.
#pragma once

#include "app/PelmarUi.h"

#include <array>
#include <deque>
#include <optional>
#include <string>
#include <vector>

class ScriptedUi : public IPelmarUi {
public:
    void ShowMessage(std::string_view textUtf8, MessageIcon icon) override {
        messages.emplace_back(textUtf8);
        icons.push_back(icon);
    }
    bool AskYesNo(std::string_view textUtf8) override {
        questions.emplace_back(textUtf8);
        return answerYes;
    }
    bool ChooseEntryPoint(std::string& entry) override {
        if (entries.empty())
            return false;
        entry = entries.front();
        entries.pop_front();
        return true;
    }
    bool ComposeThread(CThreadDraft& draft) override {
        presetCategories.push_back(draft.category);
        if (!threadDraft)
            return false;
        draft = *threadDraft;
        return true;
    }
    bool ComposeResponse(CResponseDraft& draft) override {
        ++responseDialogs;
        if (!responseDraft)
            return false;
        draft = *responseDraft;
        return true;
    }
    void RefreshThreadList() override { ++refreshes; }
    void UpdateThreadRow(const CThreadSummary& summary) override { rows.push_back(summary); }
    void ShowCurrentThread(std::string_view title) override { shownTitles.emplace_back(title); }
    void OpenThreadInNewTab(std::string_view title) override { newTabTitles.emplace_back(title); }
    void SetStatusOpen(int state) override { statusOpen = state; }
    void SetStatusNeighbours(const std::array<std::string, 4>& peers) override {
        neighbours = peers;
    }
    void SetProgress(int percent) override { progress.push_back(percent); }
    void StartReflectTimer() override { ++reflectTimerStarts; }
    void ShowStatusText(std::string_view textUtf8) override { statusTexts.emplace_back(textUtf8); }
    void SetStatusStore(std::uint64_t bytes, std::size_t threads) override {
        storeStatus = {bytes, threads};
    }

    // Script.
    bool answerYes = false;
    std::deque<std::string> entries;
    std::optional<CThreadDraft> threadDraft;
    std::optional<CResponseDraft> responseDraft;

    // Record.
    std::vector<std::string> messages;
    std::vector<MessageIcon> icons;
    std::vector<std::string> questions;
    std::vector<std::string> presetCategories;
    int responseDialogs = 0;
    int refreshes = 0;
    std::vector<CThreadSummary> rows;
    std::vector<std::string> shownTitles;
    std::vector<std::string> newTabTitles;
    int statusOpen = 0;
    std::array<std::string, 4> neighbours;
    std::vector<int> progress;
    int reflectTimerStarts = 0;
    std::vector<std::string> statusTexts;
    std::pair<std::uint64_t, std::size_t> storeStatus{0, 0};
};
