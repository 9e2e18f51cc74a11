// CPelmarDoc: removing a thread from the local store. Deletion is local only:
// no message tells other nodes, and the thread returns if it is fetched
// again. GUI thread only.
#include "app/PelmarDoc.h"

#include "app/DirectoryTree.h"
#include "base/BinaryId.h"
#include "res/Strings.h"
#include "store/StorePaths.h"
#include "store/ThreadIndex.h"
#include "store/UpdatedTimeCache.h"

void CPelmarDoc::DeleteCurrentThread() {
    if (m_currentThreadId.empty())
        return;
    if (!m_ui.AskYesNo(strings::kConfirmDelete))
        return;
    DeleteThread(m_currentThreadId);
}

void CPelmarDoc::DeleteThread(const std::string& threadId) {
    RemoveStoredThread(threadId, m_currentCategory);
    // The current thread stays selected, so the page shows it as absent.
    RefreshThreadList();
    ShowCurrentThread("");
}

void CPelmarDoc::RemoveStoredThread(const std::string& threadId, const std::string& category) {
    // Only a thread id may become a path below the store.
    if (CBinaryId::IsWellFormedText(threadId)) {
        DeleteDirectoryTree(storepaths::ThreadDir(m_threadDir, threadId));
        CUpdatedTimeCache::Instance().Forget(m_threadDir, threadId);
    }
    // The entry goes even when the files could not all be removed, so the
    // list stops offering the thread.
    CThreadIndex(category, m_threadDir).Remove(threadId);
    ThreadChanged(threadId);
}
