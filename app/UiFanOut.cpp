// CUiFanOut: one user interface, several watching views.
#include "app/UiFanOut.h"

#include <algorithm>

void CUiFanOut::AddView(IPelmarView* view) {
    if (view && std::find(m_views.begin(), m_views.end(), view) == m_views.end())
        m_views.push_back(view);
}

void CUiFanOut::RemoveView(IPelmarView* view) {
    m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
}

bool CUiFanOut::ViewCommandRuns() const {
    return std::any_of(m_views.begin(), m_views.end(),
                       [](const IPelmarView* view) { return view->IsRunningCommand(); });
}

void CUiFanOut::ShowMessage(std::string_view textUtf8, MessageIcon icon) {
    if (!ViewCommandRuns())
        m_ui.ShowMessage(textUtf8, icon);
    ForEachView([&](IPelmarView& view) { view.OnMessage(textUtf8); });
}

void CUiFanOut::RefreshThreadList() {
    m_ui.RefreshThreadList();
    ForEachView([](IPelmarView& view) { view.RefreshThreadList(); });
}

void CUiFanOut::UpdateThreadRow(const CThreadSummary& summary) {
    m_ui.UpdateThreadRow(summary);
    ForEachView([&](IPelmarView& view) { view.UpdateThreadRow(summary); });
}

void CUiFanOut::ShowCurrentThread(std::string_view title) {
    m_ui.ShowCurrentThread(title);
    ForEachView([&](IPelmarView& view) { view.ShowCurrentThread(title); });
}

void CUiFanOut::OpenThreadInNewTab(std::string_view title) {
    m_ui.OpenThreadInNewTab(title);
    ForEachView([&](IPelmarView& view) { view.ShowCurrentThread(title); });
}

void CUiFanOut::SetStatusOpen(int state) {
    m_ui.SetStatusOpen(state);
    ForEachView([&](IPelmarView& view) { view.SetStatusOpen(state); });
}

void CUiFanOut::SetStatusNeighbours(const std::array<std::string, 4>& peers) {
    m_ui.SetStatusNeighbours(peers);
    ForEachView([&](IPelmarView& view) { view.SetStatusNeighbours(peers); });
}

void CUiFanOut::SetProgress(int percent) {
    m_ui.SetProgress(percent);
    ForEachView([&](IPelmarView& view) { view.SetProgress(percent); });
}
