// CPelmarDoc: joining the overlay through an entry point or a reflector, and
// the own address. GUI thread only; the reflector request blocks it for at
// most a few seconds.
#include "app/PelmarDoc.h"

#include "app/ReflectorReply.h"
#include "res/Strings.h"
#include "transfer/BlockingSocket.h"

namespace {
// A reflector's answer is a handful of short lines; more is not a reflector.
constexpr std::size_t kMaxReflectorReply = 64 * 1024;
} // namespace

void CPelmarDoc::ConnectEntryPoint() {
    std::string entry;
    if (m_ui.ChooseEntryPoint(entry))
        ConnectToEntry(entry);
}

void CPelmarDoc::ConnectToEntry(const std::string& entry) {
    if (!IsReflectorEntry(entry)) {
        const CHostPort target = ParseEntryText(entry);
        if (!IsKnownPeer(target.host, target.port))
            OpenConnection(target.host, target.port);
        WriteLog("connect entrypoint " + target.host + " " + std::to_string(target.port));
        return;
    }

    std::vector<std::string> lines;
    const bool answered = RequestReflector(entry, lines);
    if (answered) {
        m_reflectorUrl = entry;
        m_ui.StartReflectTimer();
    }
    if (!answered || lines.empty())
        return;

    const CReflectorReply reply = CReflectorReply::Parse(lines);
    if (reply.hasReport) {
        // Only a private address is replaced: a public one is already what
        // others reach this node at.
        if (m_ownAddress.IsPrivate())
            m_ownAddress.SetText(reply.address);
        WriteLog("CGI Reflector Reflect My IPaddress " + m_ownAddress.GetText());
        if (reply.status == "open")
            m_reflectorState = 1;
        else if (reply.status == "close")
            m_reflectorState = 2;
    }
    m_ui.SetStatusOpen(m_reflectorState);
    for (const CHostPort& peer : reply.peers) {
        if (IsKnownPeer(peer.host, peer.port))
            continue;
        OpenConnection(peer.host, peer.port);
        WriteLog("connect " + peer.host + " " + std::to_string(peer.port));
    }
}

bool CPelmarDoc::RequestReflector(const std::string& url, std::vector<std::string>& lines) {
    CReflectorUrl target;
    const bool parsed = ParseReflectorUrl(url, target);
    CBlockingSocket socket;
    socket.SetTimeout(5);
    if (!socket.Create(m_bindAddress)) {
        m_ui.ShowMessage(strings::kSocketCreateFailed, IPelmarUi::MessageIcon::None);
        return false;
    }
    if (!parsed || !socket.Connect(target.host, target.port)) {
        socket.Close();
        m_ui.ShowMessage(strings::kEntryPointConnectFailed, IPelmarUi::MessageIcon::None);
        return false;
    }
    socket.Send(BuildReflectorRequest(AddPortQuery(target.path, m_listenPort)));
    std::string reply;
    char buffer[1000];
    while (reply.size() < kMaxReflectorReply) {
        const int got = socket.Receive(buffer, sizeof buffer);
        if (got <= 0)
            break;
        reply.append(buffer, static_cast<std::size_t>(got));
    }
    socket.Close();
    for (std::string& line : CReflectorReply::SplitBody(reply))
        lines.push_back(std::move(line));
    return true;
}

void CPelmarDoc::OnReflectTimer() {
    // The answer only tells the reflector our port again; it changes nothing here.
    std::vector<std::string> discarded;
    if (!m_reflectorUrl.empty())
        RequestReflector(m_reflectorUrl, discarded);
}

void CPelmarDoc::DetectLocalAddress() {
    std::string address;
    // An unresolvable host name leaves the own address empty: no peer will
    // be told to contact it, and the node keeps running.
    if (CBlockingSocket::LocalHostAddress(address))
        m_ownAddress.SetText(address);
    else
        m_ownAddress = CIPv4Address();
}
