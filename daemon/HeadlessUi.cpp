// CHeadlessUi: the headless answers to the node's questions.
#include "daemon/HeadlessUi.h"

#include "app/PelmarDoc.h"

#include <cstdio>
#include <string>

CHeadlessUi::CHeadlessUi() {
    connect(&m_reflectTimer, &QTimer::timeout, this, [this] {
        if (m_doc)
            m_doc->OnReflectTimer();
    });
}

void CHeadlessUi::ShowMessage(std::string_view textUtf8, MessageIcon) {
    // One line each, so a multi-line message stays one record on the terminal.
    std::string line(textUtf8);
    for (char& c : line)
        if (c == '\n')
            c = ' ';
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

bool CHeadlessUi::AskYesNo(std::string_view textUtf8) {
    ShowMessage(textUtf8, MessageIcon::None);
    return false;
}

bool CHeadlessUi::ChooseEntryPoint(std::string&) { return false; }
bool CHeadlessUi::ComposeThread(CThreadDraft&) { return false; }
bool CHeadlessUi::ComposeResponse(CResponseDraft&) { return false; }

void CHeadlessUi::SetStatusOpen(int state) {
    if (state == 1 || state == 2)
        std::fprintf(stderr, "reflector: %s\n", state == 1 ? "open" : "close");
}

void CHeadlessUi::StartReflectTimer() { m_reflectTimer.start(kReflectPeriodMs); }
