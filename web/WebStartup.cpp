// CWebFrontEnd: the web interface's start and end beside a front end.
#include "web/WebStartup.h"

#include "app/PelmarDoc.h"
#include "app/UiFanOut.h"
#include "web/NoTlsBackendScope.h"

#include <QHostAddress>

#include <cstdio>
#include <filesystem>

CWebInterface::Options WebOptionsFor(const CCommandLine& line) {
    CWebInterface::Options options;
    options.hosts = line.webHosts;
    if (!line.web.empty() && !line.WebOff()) {
        const auto colon = line.web.rfind(':');
        options.address = line.web.substr(0, colon);
        options.port = static_cast<quint16>(std::stoul(line.web.substr(colon + 1)));
        return options;
    }
    // Several nodes on one machine each get their own.
    if (!line.address.empty() && QHostAddress(QString::fromStdString(line.address)).isLoopback())
        options.address = line.address;
    options.port = kDefaultWebPort;
    return options;
}

CWebFrontEnd::CWebFrontEnd(CPelmarDoc& doc, CUiFanOut& fanOut, const CCommandLine& line,
                           bool onByDefault, CReader* reader)
    : m_fanOut(fanOut) {
    if (line.WebOff() || (line.web.empty() && !onByDefault))
        return;
    const CWebInterface::Options options = WebOptionsFor(line);
    std::unique_ptr<CWebInterface> web;
    {
        const CNoTlsBackendScope plainHttpOnly;
        web = std::make_unique<CWebInterface>(doc, options);
    }
    web->SetReader(reader);
    std::string error;
    if (!web->Start(error)) {
        std::fprintf(stderr, "web interface not started: %s\n", error.c_str());
        std::fflush(stderr);
        return;
    }
    if (!QHostAddress(QString::fromStdString(options.address)).isLoopback())
        std::fprintf(stderr,
                     "warning: the web interface listens on %s, which other machines may "
                     "reach; anyone with its token can use this node\n",
                     options.address.c_str());
    // The token never goes to standard output, which a service's journal
    // keeps for more readers than its file: the page asks for it once.
    std::printf("web interface: %s (access token in %s)\n", web->PageUrl().c_str(),
                std::filesystem::absolute(doc.DataPath(CWebAccess::kTokenFile)).c_str());
    std::fflush(stdout);
    std::fflush(stderr);
    m_web = std::move(web);
    m_fanOut.AddView(m_web.get());
}

CWebFrontEnd::~CWebFrontEnd() {
    if (m_web)
        m_fanOut.RemoveView(m_web.get());
}
