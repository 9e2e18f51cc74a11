// CPelmarDoc: construction, start-up, shutdown, the event log and store
// messages. GUI thread.
#include "app/PelmarDoc.h"

#include "app/EventLog.h"
#include "app/FetchWorker.h"
#include "app/IdGenerator.h"
#include "app/IniFile.h"
#include "app/ListenSocket.h"
#include "app/ReflectorClient.h"
#include "app/Retention.h"
#include "base/BinaryId.h"
#include "protocol/Overlay.h"
#include "protocol/TcpTransport.h"
#include "res/Strings.h"
#include "store/FileSystem.h"
#include "store/ThreadIndex.h"
#include "transfer/ThreadSourceTable.h"

#include <algorithm>
#include <ctime>
#include <filesystem>

CPelmarDoc::CPelmarDoc(IPelmarUi& ui, Options options, QObject* parent)
    : QObject(parent), m_ui(ui), m_dataDir(std::move(options.dataDir)),
      m_applicationDir(std::move(options.applicationDir)),
      m_sources(std::make_unique<CThreadSourceTable>()), m_logging(options.logging),
      m_bindAddress(std::move(options.bindAddress)) {
    m_threadDir = m_dataDir + "thread/";
    m_transport = std::make_unique<CTcpTransport>(m_bindAddress);
    m_overlay = std::make_unique<COverlay>(*this, *m_transport);
    const CIniFile settings(options.iniPath);
    m_listenPort = static_cast<std::uint16_t>(settings.GetInt("Network", "Port", 6340) % 65536);
    m_cacheMode = settings.GetString("Servent", "CacheMode", "Disable");
    m_logMaxBytes = std::uint64_t{1024} *
                    settings.GetInt("Log", "MaxKilobytes", CEventLog::kDefaultMaxBytes / 1024);
    m_logKeep = static_cast<unsigned>(
        std::min<unsigned long>(settings.GetInt("Log", "Keep", CEventLog::kDefaultKeep), 99));
    SRetentionLimits limits;
    limits.maxBytes = std::uint64_t{1024 * 1024} * settings.GetInt("Cache", "MaxMegabytes", 0);
    limits.maxSeconds = static_cast<std::uint32_t>(
        std::min<unsigned long>(settings.GetInt("Cache", "MaxDays", 0), 20000) * 24 * 60 * 60);
    m_retention = std::make_unique<CRetention>(*this, limits, DataPath(COwnThreads::kFileName));
    m_clock = [] { return static_cast<std::uint32_t>(std::time(nullptr)); };
    m_generator.seed(static_cast<std::uint32_t>(std::time(nullptr)));
    m_random = [this] { return static_cast<unsigned>(m_generator()); };
}

CPelmarDoc::~CPelmarDoc() {
    m_fetchWorker.reset(); // waits for a running fetch to end
    m_reflector.reset();   // and for a reflector request (its time-outs bound it)
    m_retention.reset();   // and for a walk of the store, which stops early
    WriteLog("pelmar Shutdown!!");
    m_overlay.reset(); // deletes the connections
}

bool CPelmarDoc::Start() {
    WriteLog("pelmar Startup!!");
    PrepareStorage();
    LoadServentId();
    if (!StartListening()) {
        m_ui.ShowMessage(strings::kSocketCreateFailed, IPelmarUi::MessageIcon::None);
        return false;
    }
    if (m_bindAddress.empty())
        DetectLocalAddress();
    else
        m_ownAddress.SetText(m_bindAddress);
    m_retention->Start();
    return true;
}

void CPelmarDoc::PrepareStorage() {
    namespace fs = std::filesystem;
    std::error_code ignored;
    fs::create_directory(m_threadDir, ignored);
    static const char* const kNames[] = {"index", "0", "1", "2", "3", "4", "5", "6", "7",
                                         "8",     "9", "a", "b", "c", "d", "e", "f"};
    for (const char* name : kNames)
        fs::create_directory(m_threadDir + name, ignored);
    // No writer runs yet, so a temporary index left by a crash is stale.
    CThreadIndex::RemoveLeftoverTemp(m_threadDir);
}

void CPelmarDoc::LoadServentId() {
    const std::string kFile = DataPath("serventid.dat");
    CBinaryId id;
    std::string bytes;
    const bool read = storefs::ReadFile(kFile, bytes, 16);
    if (read && bytes.size() == 16) {
        id.SetBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()));
    } else {
        // Absent, or too short to hold an id: make a new one and keep it. A
        // file that is there but cannot be read (a directory, a read error)
        // is left alone: the new id lasts for this run only.
        id.SetText(CIdGenerator().GetText());
        if (read || !storefs::Exists(kFile))
            storefs::WriteFileAtomically(
                kFile, std::string_view(reinterpret_cast<const char*>(id.GetBytes().data()), 16));
    }
    m_serventId = id.GetText();
}

bool CPelmarDoc::StartListening() {
    auto listener = std::make_unique<CListenSocket>(*this);
    if (!listener->Listen(m_bindAddress, m_listenPort))
        return false;
    m_listenSocket = std::move(listener);
    return true;
}

void CPelmarDoc::WriteLog(std::string_view text) {
    if (!m_logging)
        return;
    CEventLog(DataPath("pelmar.log"), m_logMaxBytes, m_logKeep).Write(std::time(nullptr), text);
}

void CPelmarDoc::ReportStoreFailure(std::string_view textUtf8) {
    // GUI thread only: the fetch worker hands its store messages over through
    // CFetchWorker, which waits until the user has seen them.
    m_ui.ShowMessage(textUtf8, IPelmarUi::MessageIcon::None);
}
