// CResRecord: ".res" files and the accounting of a posted response in its
// thread's ".info". Posting runs on the GUI thread, storing fetched
// responses on the fetch worker, possibly at the same time in the same
// thread directory: every new file appears by rename, never half written.
#include "store/ResRecord.h"

#include "res/Strings.h"
#include "store/FieldCoding.h"
#include "store/FileSystem.h"
#include "store/StorePaths.h"
#include "store/StoreReporter.h"
#include "store/ThreadIndex.h"
#include "store/ThreadRecord.h"
#include "store/UpdatedTimeCache.h"

#include <cstring>

namespace {

void Report(IStoreReporter* reporter, const char* text) {
    if (reporter)
        reporter->ReportStoreFailure(text);
}

// ".info" offsets.
constexpr std::size_t kHeldOffset = 0;
constexpr std::size_t kNewestHeldOffset = 2;
constexpr std::size_t kResCountOffset = 6;
constexpr std::size_t kUpdatedOffset = 8;

} // namespace

CResRecord::CResRecord(std::uint32_t now) : m_time(now) {}

CResRecord::CResRecord(const CBinaryId& threadId, const CBinaryId& resId,
                       const CBinaryId& reservedId1, std::string title, std::string name,
                       std::string mail, std::string body, const CBinaryId& posterId,
                       const CBinaryId& reservedId2, std::uint32_t now)
    : m_threadId(threadId), m_resId(resId), m_reservedId1(reservedId1), m_posterId(posterId),
      m_reservedId2(reservedId2), m_time(now), m_title(std::move(title)), m_name(std::move(name)),
      m_mail(std::move(mail)), m_body(std::move(body)) {}

std::string CResRecord::Encode() const {
    std::string bytes;
    bytes.reserve(89 + m_title.size() + m_name.size() + m_mail.size() + m_body.size());
    field::PutId(bytes, m_threadId);
    field::PutId(bytes, m_resId);
    field::PutId(bytes, m_reservedId1);
    field::PutId(bytes, m_posterId);
    field::PutId(bytes, m_reservedId2);
    field::PutTime(bytes, m_time);
    field::PutShortText(bytes, m_title);
    field::PutShortText(bytes, m_name);
    field::PutShortText(bytes, m_mail);
    field::PutLongText(bytes, m_body);
    return bytes;
}

bool CResRecord::Decode(std::string_view bytes) {
    field::CFieldReader reader(bytes);
    reader.ReadId(m_threadId);
    reader.ReadId(m_resId);
    reader.ReadId(m_reservedId1);
    reader.ReadId(m_posterId);
    reader.ReadId(m_reservedId2);
    reader.ReadTime(m_time);
    reader.ReadShortText(m_title);
    reader.ReadShortText(m_name);
    reader.ReadShortText(m_mail);
    return reader.ReadLongText(m_body);
}

bool CResRecord::PeekIds(std::string_view bytes, CBinaryId& threadId, CBinaryId& resId) {
    field::CFieldReader reader(bytes);
    CBinaryId thread;
    CBinaryId res;
    if (!reader.ReadId(thread) || !reader.ReadId(res))
        return false;
    threadId = thread;
    resId = res;
    return true;
}

void CResRecord::CountInInfo(const std::string& root, bool& infoOpened,
                             IStoreReporter* reporter) const {
    storefs::CFileHandle info;
    infoOpened = info.Open(storepaths::InfoFile(root, m_threadId.GetText()),
                           storefs::CFileHandle::Mode::ReadWrite);
    if (!infoOpened) {
        Report(reporter, strings::kFileCreateFailed);
        return;
    }
    // Fields a short ".info" does not hold read as 0, so the response's own
    // values take their place.
    char raw[CThreadRecord::kInfoSize] = {};
    info.ReadAt(0, raw, sizeof raw);
    CThreadRecord counters;
    counters.SetNewestHeld(0);
    counters.SetUpdated(0);
    counters.DecodeInfo(std::string_view(raw, sizeof raw));

    // A held count at its limit stays there rather than wrapping to 0.
    const std::uint16_t held =
        counters.GetHeld() == 0xffff ? 0xffff : static_cast<std::uint16_t>(counters.GetHeld() + 1);
    std::string bytes;
    field::PutU16(bytes, held);
    info.WriteAt(kHeldOffset, bytes);
    bytes.clear();
    field::PutTime(bytes, m_time);
    info.WriteAt(kNewestHeldOffset, bytes);
    if (counters.GetResCount() < held) {
        bytes.clear();
        field::PutU16(bytes, held);
        info.WriteAt(kResCountOffset, bytes);
    }
    if (counters.GetUpdated() < m_time) {
        bytes.clear();
        field::PutTime(bytes, m_time);
        info.WriteAt(kUpdatedOffset, bytes);
    }
    info.Sync(); // only responses posted here are counted here
    info.Close();
    CUpdatedTimeCache::Instance().Forget(root, m_threadId.GetText());
}

bool CResRecord::Create(const std::string& root, IStoreReporter* reporter) {
    const std::string& threadId = m_threadId.GetText();
    const std::string& resId = m_resId.GetText();
    if (!CBinaryId::IsWellFormedText(threadId) || !CBinaryId::IsWellFormedText(resId) ||
        // Posted here, it exists nowhere else yet: on the disk before it is
        // announced (the file before its rename, the directory after).
        !storefs::WriteFileAtomically(storepaths::ResFile(root, threadId, resId), Encode(),
                                      storefs::EDurability::Flushed)) {
        Report(reporter, strings::kFileCreateFailed);
        return false;
    }
    bool infoOpened = false;
    CountInInfo(root, infoOpened, reporter);

    // The thread moves to its new place in its category's index.
    CThreadRecord thread;
    if (thread.Load(threadId, root)) {
        m_threadCategory = thread.GetCategory();
        CThreadIndex(m_threadCategory, root).Add(threadId);
    }
    return infoOpened;
}

bool CResRecord::StoreFetched(const std::string& root, std::string_view bytes,
                              IStoreReporter* reporter) {
    const std::string& threadId = m_threadId.GetText();
    const std::string& resId = m_resId.GetText();
    if (!CBinaryId::IsWellFormedText(threadId) || !CBinaryId::IsWellFormedText(resId) ||
        bytes.size() < 2 * field::kIdSize ||
        std::memcmp(bytes.data(), m_threadId.GetBytes().data(), field::kIdSize) != 0 ||
        std::memcmp(bytes.data() + field::kIdSize, m_resId.GetBytes().data(), field::kIdSize) != 0)
        return false;
    if (!storefs::WriteFileAtomically(storepaths::ResFile(root, threadId, resId), bytes)) {
        Report(reporter, strings::kFileCreateFailed);
        return false;
    }
    return true;
}

bool CResRecord::Load(std::string_view threadId, std::string_view resId, const std::string& root,
                      IStoreReporter* reporter) {
    std::string bytes;
    if (!CBinaryId::IsWellFormedText(threadId) || !CBinaryId::IsWellFormedText(resId) ||
        !storefs::ReadFile(storepaths::ResFile(root, threadId, resId), bytes, kMaxResFileSize)) {
        Report(reporter, strings::kResReadFailed);
        return false;
    }
    Decode(bytes);
    std::string info;
    if (!storefs::ReadFile(storepaths::InfoFile(root, threadId), info, 0)) {
        Report(reporter, strings::kFileCreateFailed);
        return false;
    }
    return true;
}

std::size_t CResRecord::ListHeld(const CThreadRecord& thread, std::vector<CBinaryId>& held) {
    return ListHeld(thread.GetRoot(), thread.GetThreadId().GetText(), held);
}

std::size_t CResRecord::ListHeld(const std::string& root, std::string_view threadId,
                                 std::vector<CBinaryId>& held) {
    if (!CBinaryId::IsWellFormedText(threadId))
        return 0;
    const std::vector<std::string> files =
        storefs::ListFiles(storepaths::ThreadDir(root, threadId), storepaths::kResSuffix);
    for (const std::string& file : files) {
        // Whatever the name holds, the entry carries 16 bytes; its text is
        // made from them, so it is always an id's text.
        const CBinaryId named = CBinaryId::FromText(std::string_view(file).substr(0, 32));
        held.push_back(CBinaryId::FromBytes(named.GetBytes().data()));
    }
    return files.size();
}
