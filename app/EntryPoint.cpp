// CPelmarDoc: joining the overlay through an entry point or a reflector, and
// the own address. GUI thread only.
#include "app/PelmarDoc.h"

void CPelmarDoc::ConnectEntryPoint() {
    std::string entry;
    if (m_ui.ChooseEntryPoint(entry))
        ConnectToEntry(entry);
}

void CPelmarDoc::ConnectToEntry(const std::string& entry) { (void)entry; /* TODO(join) */ }

bool CPelmarDoc::RequestReflector(const std::string& url, std::vector<std::string>& lines) {
    (void)url;
    (void)lines;
    return false; // TODO(join)
}

void CPelmarDoc::OnReflectTimer() {}

void CPelmarDoc::DetectLocalAddress() {}
