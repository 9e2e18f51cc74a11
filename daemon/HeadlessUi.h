// CHeadlessUi: the node's user interface without windows. Messages go to
// standard error, every question is answered as a user who cancels would, the
// views do nothing, and it owns the reflector timer. GUI thread only.
#pragma once

#include "app/PelmarUi.h"

#include <QObject>
#include <QTimer>

class CPelmarDoc;

class CHeadlessUi : public QObject, public IPelmarUi {
    Q_OBJECT
public:
    static constexpr int kReflectPeriodMs = 30 * 60 * 1000;

    CHeadlessUi();
    void SetDocument(CPelmarDoc* doc) { m_doc = doc; }

    void ShowMessage(std::string_view textUtf8, MessageIcon icon) override;
    bool AskYesNo(std::string_view textUtf8) override;
    bool ChooseEntryPoint(std::string& entry) override;
    bool ComposeThread(CThreadDraft& draft) override;
    bool ComposeResponse(CResponseDraft& draft) override;
    void RefreshThreadList() override {}
    void UpdateThreadRow(const CThreadSummary&) override {}
    void ShowCurrentThread(std::string_view) override {}
    void OpenThreadInNewTab(std::string_view) override {}
    void SetStatusOpen(int state) override;
    void SetStatusNeighbours(const std::array<std::string, 4>&) override {}
    void SetProgress(int) override {}
    void StartReflectTimer() override;

private:
    CPelmarDoc* m_doc = nullptr;
    QTimer m_reflectTimer;
};
