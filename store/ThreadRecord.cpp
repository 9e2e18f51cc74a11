// CThreadRecord: ".thread" and ".info" files of one thread. Runs on the GUI
// thread (creation, serving, display) and on the fetch worker (store, load,
// refresh); no lock, each call opens and closes its own files.
#include "store/ThreadRecord.h"

#include "res/Strings.h"
#include "store/EscapedName.h"
#include "store/FieldCoding.h"
#include "store/FileSystem.h"
#include "store/ResRecord.h"
#include "store/StorePaths.h"
#include "store/StoreReporter.h"
#include "store/ThreadIndex.h"
#include "store/UpdatedTimeCache.h"

#include <algorithm>
#include <cstring>

namespace {

void Report(IStoreReporter* reporter, const char* text) {
    if (reporter)
        reporter->ReportStoreFailure(text);
}

bool WriteInfo(const std::string& path, const std::string& info,
               storefs::EDurability durability = storefs::EDurability::Cached) {
    storefs::CFileHandle file;
    if (!file.Open(path, storefs::CFileHandle::Mode::CreateTruncate))
        return false;
    const bool written =
        file.WriteAt(0, info) && (durability == storefs::EDurability::Cached || file.Sync());
    return file.Close() && written;
}

} // namespace

CThreadRecord::CThreadRecord(std::uint32_t now)
    : m_created(now), m_newestHeld(now), m_updated(now) {}

CThreadRecord::CThreadRecord(const CBinaryId& threadId, std::string title, std::string category,
                             std::string name, std::string mail, std::string body,
                             const CBinaryId& creatorId, const CBinaryId& reservedId,
                             std::uint32_t updated, std::uint32_t created)
    : m_threadId(threadId), m_creatorId(creatorId), m_reservedId(reservedId), m_created(created),
      m_title(std::move(title)), m_category(std::move(category)), m_name(std::move(name)),
      m_mail(std::move(mail)), m_body(std::move(body)), m_newestHeld(updated), m_updated(updated) {}

std::string CThreadRecord::EncodeThread() const {
    std::string bytes;
    bytes.reserve(58 + m_title.size() + m_category.size() + m_name.size() + m_mail.size() +
                  m_body.size());
    field::PutId(bytes, m_threadId);
    field::PutId(bytes, m_creatorId);
    field::PutId(bytes, m_reservedId);
    field::PutTime(bytes, m_created);
    field::PutShortText(bytes, m_title);
    field::PutShortText(bytes, m_category);
    field::PutShortText(bytes, m_name);
    field::PutShortText(bytes, m_mail);
    field::PutLongText(bytes, m_body);
    return bytes;
}

std::string CThreadRecord::EncodeInfo() const {
    std::string bytes;
    bytes.reserve(kInfoSize);
    field::PutU16(bytes, m_held);
    field::PutTime(bytes, m_newestHeld);
    field::PutU16(bytes, m_resCount);
    field::PutTime(bytes, m_updated);
    return bytes;
}

bool CThreadRecord::DecodeThread(std::string_view bytes) {
    field::CFieldReader reader(bytes);
    reader.ReadId(m_threadId);
    reader.ReadId(m_creatorId);
    reader.ReadId(m_reservedId);
    reader.ReadTime(m_created);
    reader.ReadShortText(m_title);
    reader.ReadShortText(m_category);
    reader.ReadShortText(m_name);
    reader.ReadShortText(m_mail);
    return reader.ReadLongText(m_body);
}

void CThreadRecord::DecodeInfo(std::string_view bytes) {
    field::CFieldReader reader(bytes);
    reader.ReadU16(m_held);
    reader.ReadTime(m_newestHeld);
    reader.ReadU16(m_resCount);
    reader.ReadTime(m_updated);
}

bool CThreadRecord::MakeThreadDir(const std::string& root, IStoreReporter* reporter) const {
    if (storefs::MakeDirectories(storepaths::ThreadDir(root, m_threadId.GetText())))
        return true;
    Report(reporter, strings::kDirectoryCreateFailed);
    return false;
}

bool CThreadRecord::Create(const std::string& root, IStoreReporter* reporter) {
    const std::string& id = m_threadId.GetText();
    // Only a well-formed id may become a path: anything else could leave the
    // store.
    if (!CBinaryId::IsWellFormedText(id)) {
        Report(reporter, strings::kFileCreateFailed);
        return false;
    }
    // A thread composed here exists nowhere else until another node fetches
    // it, so it reaches the disk before it is announced: each file before the
    // rename that publishes it, then the directories that name them. The
    // ".info" goes first so that the flush of the directory after the
    // ".thread" rename covers both names.
    bool ok = MakeThreadDir(root, reporter);
    if (!WriteInfo(storepaths::InfoFile(root, id), EncodeInfo(), storefs::EDurability::Flushed)) {
        Report(reporter, strings::kFileCreateFailed);
        ok = false;
    }
    CUpdatedTimeCache::Instance().Forget(root, id);
    if (!storefs::WriteFileAtomically(storepaths::ThreadFile(root, id), EncodeThread(),
                                      storefs::EDurability::Flushed)) {
        Report(reporter, strings::kFileCreateFailed);
        ok = false;
    }
    const std::string bucket = storefs::ParentDirectory(storepaths::ThreadDir(root, id));
    if (!ok) {
        // A post refused (a full disk) leaves nothing: no file of it is
        // served, and the index never names a thread without its files.
        storefs::RemoveFile(storepaths::ThreadFile(root, id));
        storefs::RemoveFile(storepaths::InfoFile(root, id));
        storefs::RemoveDirectory(storepaths::ThreadDir(root, id));
        CUpdatedTimeCache::Instance().Forget(root, id);
        return false;
    }
    storefs::SyncDirectory(bucket);
    storefs::SyncDirectory(storefs::ParentDirectory(bucket));
    CThreadIndex index(m_category, root);
    index.Add(id);
    // Its place in the category: the marker and the ".index" that lists it.
    const std::string escaped = CEscapedName(m_category).GetText();
    storefs::SyncFile(storepaths::IndexFile(root, escaped));
    storefs::SyncDirectory(storepaths::CategoryDir(root, escaped));
    return ok;
}

bool CThreadRecord::StoreFetched(const std::string& root, std::string_view bytes,
                                 IStoreReporter* reporter) {
    const std::string& id = m_threadId.GetText();
    if (!CBinaryId::IsWellFormedText(id) || bytes.size() < field::kIdSize ||
        std::memcmp(bytes.data(), m_threadId.GetBytes().data(), field::kIdSize) != 0)
        return false;
    if (!MakeThreadDir(root, reporter))
        return false;
    if (!storefs::WriteFileAtomically(storepaths::ThreadFile(root, id), bytes)) {
        Report(reporter, strings::kFileCreateFailed);
        return false;
    }
    // Only held changes: the counters and times of an existing ".info" are
    // this node's own knowledge and stay.
    storefs::CFileHandle info;
    std::string held;
    field::PutU16(held, 1);
    const bool written =
        info.Open(storepaths::InfoFile(root, id), storefs::CFileHandle::Mode::ReadWriteCreate) &&
        info.WriteAt(0, held) && info.Close();
    // The held count changed, or a ".info" too short to hold a time was made.
    CUpdatedTimeCache::Instance().Forget(root, id);
    if (!written) {
        Report(reporter, strings::kFileCreateFailed);
        return false;
    }
    m_held = 1;
    return true;
}

bool CThreadRecord::Load(std::string_view threadId, const std::string& root) {
    m_root = root;
    if (!CBinaryId::IsWellFormedText(threadId))
        return false;
    std::string bytes;
    if (!storefs::ReadFile(storepaths::ThreadFile(root, threadId), bytes, kMaxThreadFileSize))
        return false;
    DecodeThread(bytes);
    if (!storefs::ReadFile(storepaths::InfoFile(root, threadId), bytes, kInfoSize))
        return false;
    DecodeInfo(bytes);
    return true;
}

bool CThreadRecord::Refresh(const std::string& root, IStoreReporter* reporter) {
    return Refresh(root, reporter, {});
}

bool CThreadRecord::Refresh(const std::string& root, IStoreReporter* reporter,
                            const std::unordered_map<std::string, std::uint32_t>& knownTimes) {
    m_root = root;
    const std::string& id = m_threadId.GetText();
    if (!CBinaryId::IsWellFormedText(id))
        return false;
    const std::vector<std::string> files =
        storefs::ListFiles(storepaths::ThreadDir(root, id), storepaths::kResSuffix);
    std::uint32_t latest = m_created;
    // Loading a response also checks that the thread's ".info" opens; for a
    // thread of thousands of responses that check is made once, and each
    // response is only read.
    std::string bytes;
    const bool infoOpens = storefs::ReadFile(storepaths::InfoFile(root, id), bytes, 0);
    for (const std::string& file : files) {
        const std::string_view resId =
            std::string_view(file).substr(0, file.size() - storepaths::kResSuffix.size());
        if (!CBinaryId::IsWellFormedText(resId))
            continue;
        // Time 0 until read: a response that cannot be read moves nothing.
        CResRecord res(0);
        if (!infoOpens) {
            if (res.Load(id, resId, root, reporter))
                latest = std::max(latest, res.GetTime());
            continue;
        }
        if (const auto known = knownTimes.find(std::string(resId)); known != knownTimes.end()) {
            latest = std::max(latest, known->second);
            continue;
        }
        if (!storefs::ReadFile(storepaths::ResFile(root, id, resId), bytes,
                               CResRecord::kMaxResFileSize)) {
            Report(reporter, strings::kResReadFailed);
            continue;
        }
        res.Decode(bytes);
        latest = std::max(latest, res.GetTime());
    }
    const std::size_t count = std::min<std::size_t>(files.size(), 0xfffe);
    if (m_held != 0 && latest != 0) {
        m_newestHeld = latest;
        m_updated = latest;
        m_held = static_cast<std::uint16_t>(count + 1);
    } else {
        m_held = static_cast<std::uint16_t>(count);
    }
    if (m_resCount < m_held)
        m_resCount = m_held;
    const bool written = WriteInfo(storepaths::InfoFile(root, id), EncodeInfo());
    CUpdatedTimeCache::Instance().Forget(root, id);
    if (!written) {
        Report(reporter, strings::kFileCreateFailed);
        return false;
    }
    return true;
}
