// CReader: lazy start of the rule file, the database and the index worker.
#include "reader/Reader.h"

#include "base/Cp932Text.h"
#include "reader/IndexWorker.h"

CReader::CReader(std::string dataDir, std::string storeRoot, Reporter reporter)
    : m_reporter(std::move(reporter)), m_storeRoot(std::move(storeRoot)),
      m_db(std::make_unique<CReaderDb>(dataDir + std::string(CReaderDb::kFileName), m_reporter)),
      m_marks(*m_db), m_favourites(*m_db), m_index(*m_db, m_storeRoot),
      m_ruleFile(dataDir + std::string(CNgRuleFile::kFileName)) {}

CReader::~CReader() {
    m_worker.reset(); // joins before the database goes
}

CNgRuleFile& CReader::RuleFile() {
    if (m_ruleFile.ReloadIfChanged() && m_reporter)
        for (const std::string& error : m_ruleFile.Errors())
            m_reporter(error);
    return m_ruleFile;
}

std::shared_ptr<const CNgFilter> CReader::Filter() {
    RuleFile();
    if (!m_filter || m_filterGeneration != m_ruleFile.Generation()) {
        m_filter = std::make_shared<const CNgFilter>(m_ruleFile.Rules());
        m_filterGeneration = m_ruleFile.Generation();
    }
    static const auto kNone = std::make_shared<const CNgFilter>();
    return m_showFiltered ? kNone : m_filter;
}

std::string CReader::CategoryText(std::string_view cp932) {
    return cp932text::ToUtf8(cp932);
}

void CReader::StartIndexing() {
    if (!m_worker) {
        m_worker = std::make_unique<CIndexWorker>(*m_db, m_index, [this](const std::string& id) {
            if (m_indexed)
                m_indexed(id);
        });
        m_worker->PostCatchUp();
    }
}

void CReader::ThreadChanged(const std::string& threadId) {
    StartIndexing();
    m_worker->Post(threadId);
}

void CReader::WaitIndexed() {
    if (m_worker)
        m_worker->WaitIdle();
}
