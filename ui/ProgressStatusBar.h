// CProgressStatusBar: the main window's status bar. Pane 0 is the prompt line,
// pane 1 the fetch progress, pane 2 the reachability and panes 3 to 6 the last
// number of each of the first four established peers; a last pane, empty
// until the store has been looked at, its size and thread count. GUI thread.
#pragma once

#include <QStatusBar>

#include <array>
#include <cstdint>
#include <string>

class QLabel;
class QProgressBar;

class CProgressStatusBar : public QStatusBar {
    Q_OBJECT
public:
    static constexpr int kPaneCount = 7;
    static constexpr int kProgressPane = 1;
    static constexpr int kOpenPane = 2;
    static constexpr int kFirstNeighbourPane = 3;
    static constexpr int kStorePane = kPaneCount;

    explicit CProgressStatusBar(QWidget* parent = nullptr);

    // 1 shows "open", 2 "close", anything else nothing.
    void SetStatusOpen(int state);
    // Peer addresses in the order N, S, W, E; empty ones leave the bare prefix.
    void SetStatusNeighbours(const std::array<std::string, 4>& peers);
    // 0 to 100; values outside are held to the range.
    void SetProgress(int percent);
    void SetStatusStore(std::uint64_t bytes, std::size_t threads);

    // What a pane shows: the prompt line for pane 0 (the highlighted command's
    // prompt or "ﾚﾃﾞｨ"), the percentage for pane 1.
    QString PaneText(int pane) const;
    int Progress() const;

    // "N:" + "5" for "192.168.0.5": the part after the last dot, or the whole
    // string when it has none.
    static QString NeighbourText(const char* prefix, const std::string& address);
    // "保存 1.5 MB・12 スレッド" (megabytes of 1,048,576 bytes, one decimal).
    static QString StoreText(std::uint64_t bytes, std::size_t threads);

private:
    QLabel* m_ready = nullptr;
    QProgressBar* m_progress = nullptr;
    std::array<QLabel*, kPaneCount> m_panes{};
    QLabel* m_store = nullptr;
};
