// IPelmarView: what a further front end (the web interface) watches of the
// node beside its user interface. It sees the views' calls and the messages
// shown, never the questions: those stay with the one user interface. GUI
// thread only.
#pragma once

#include "app/PelmarUi.h"

class IPelmarView {
public:
    virtual ~IPelmarView() = default;

    // A message the user interface has just shown (UTF-8).
    virtual void OnMessage(std::string_view textUtf8) = 0;
    // The views' calls, as IPelmarUi receives them.
    virtual void RefreshThreadList() = 0;
    virtual void UpdateThreadRow(const CThreadSummary& summary) = 0;
    virtual void ShowCurrentThread(std::string_view title) = 0;
    virtual void SetStatusOpen(int state) = 0;
    virtual void SetStatusNeighbours(const std::array<std::string, 4>& peers) = 0;
    virtual void SetProgress(int percent) = 0;
    // True while the view runs a command of its own. What the node would ask
    // or tell the user meanwhile belongs to that command: it answers its
    // caller with the reason, and no dialog of the user interface opens.
    virtual bool IsRunningCommand() const { return false; }
};
