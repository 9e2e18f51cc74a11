// CPelmarDoc: joining the overlay through an entry point or a reflector, and
// the own address. GUI thread only; the reflector request runs on a thread
// of its own (CReflectorClient) and its answer comes back to the GUI thread.
#include "app/PelmarDoc.h"

#include "app/ReflectorClient.h"
#include "app/ReflectorReply.h"
#include "res/Strings.h"
#include "transfer/BlockingSocket.h"

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

    // The reflector may keep the request waiting; the window does not wait
    // with it. The answer is handled when it comes.
    RequestReflector(entry, [this, entry](const CReflectorAnswer& answer) {
        if (answer.outcome == CReflectorAnswer::Outcome::Answered)
            OnReflectorAnswer(entry, answer.lines);
    });
}

void CPelmarDoc::OnReflectorAnswer(const std::string& url, const std::vector<std::string>& lines) {
    m_reflectorUrl = url;
    m_ui.StartReflectTimer();
    if (lines.empty())
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

void CPelmarDoc::RequestReflector(const std::string& url,
                                  std::function<void(const CReflectorAnswer&)> done) {
    if (!m_reflector)
        m_reflector = std::make_unique<CReflectorClient>(*this);
    m_reflector->Ask(
        url, m_bindAddress, m_listenPort,
        [this, done = std::move(done)](const CReflectorAnswer& answer) {
            if (answer.outcome == CReflectorAnswer::Outcome::SocketFailed)
                m_ui.ShowMessage(strings::kSocketCreateFailed, IPelmarUi::MessageIcon::None);
            else if (answer.outcome == CReflectorAnswer::Outcome::ConnectFailed)
                m_ui.ShowMessage(strings::kEntryPointConnectFailed, IPelmarUi::MessageIcon::None);
            done(answer);
        });
}

void CPelmarDoc::OnReflectTimer() {
    // The answer only tells the reflector our port again; it changes nothing here.
    if (!m_reflectorUrl.empty())
        RequestReflector(m_reflectorUrl, [](const CReflectorAnswer&) {});
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
