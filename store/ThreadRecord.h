// CThreadRecord: one thread of the store, its opening post (".thread") and
// its counters and times (".info"), with the operations that create, store,
// load and refresh them. A short-lived value made for one operation; used on
// the GUI thread and on the fetch worker, each with its own record.
#pragma once

#include "base/BinaryId.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

class IStoreReporter;

class CThreadRecord {
public:
    // The ".info" file: held, newest held, res count, updated.
    static constexpr std::size_t kInfoSize = 12;
    // The largest ".thread" the fields can express.
    static constexpr std::size_t kMaxThreadFileSize = 3 * 16 + 4 + 4 * 256 + 2 + 65535;

    // Empty texts and ids, held and res count 0, every time set to now.
    explicit CThreadRecord(std::uint32_t now = 0);
    // A thread composed here: newest held and updated are both updated.
    CThreadRecord(const CBinaryId& threadId, std::string title, std::string category,
                  std::string name, std::string mail, std::string body, const CBinaryId& creatorId,
                  const CBinaryId& reservedId, std::uint32_t updated, std::uint32_t created);

    // Writes the thread's ".thread" and ".info" and files it in its
    // category's index. Failures are told to reporter (nullptr: silent).
    // True when every directory and file was made.
    bool Create(const std::string& root, IStoreReporter* reporter);
    // Stores a ".thread" received from another node byte for byte and marks
    // the opening post held (the first two bytes of ".info"). The record's
    // thread id names the files; bytes that carry another thread id are
    // refused without a message.
    bool StoreFetched(const std::string& root, std::string_view bytes, IStoreReporter* reporter);
    // Reads the thread's files. True when both could be opened; fields a
    // short file does not reach keep their earlier values. Never reports.
    bool Load(std::string_view threadId, const std::string& root);
    // Recounts held, newest held and updated from the ".res" files and
    // rewrites ".info". Responses that cannot be loaded count as held but
    // lend no time.
    bool Refresh(const std::string& root, IStoreReporter* reporter);
    // The same, with the posting times of responses the caller has just
    // written (by response id text): those files need not be read again.
    bool Refresh(const std::string& root, IStoreReporter* reporter,
                 const std::unordered_map<std::string, std::uint32_t>& knownTimes);

    // The ".thread" bytes of this record (texts cut to their fields).
    std::string EncodeThread() const;
    // The ".info" bytes of this record.
    std::string EncodeInfo() const;
    // Reads ".thread" bytes into the record; false when the bytes end
    // before the body (the fields read so far are kept).
    bool DecodeThread(std::string_view bytes);
    // Reads ".info" bytes; a short one changes only the fields it holds.
    void DecodeInfo(std::string_view bytes);

    const CBinaryId& GetThreadId() const { return m_threadId; }
    void SetThreadId(const CBinaryId& id) { m_threadId = id; }
    const CBinaryId& GetCreatorId() const { return m_creatorId; }
    void SetCreatorId(const CBinaryId& id) { m_creatorId = id; }
    const CBinaryId& GetReservedId() const { return m_reservedId; }
    void SetReservedId(const CBinaryId& id) { m_reservedId = id; }
    std::uint32_t GetCreated() const { return m_created; }
    void SetCreated(std::uint32_t time) { m_created = time; }
    const std::string& GetTitle() const { return m_title; }
    void SetTitle(std::string text) { m_title = std::move(text); }
    const std::string& GetCategory() const { return m_category; }
    void SetCategory(std::string text) { m_category = std::move(text); }
    const std::string& GetName() const { return m_name; }
    void SetName(std::string text) { m_name = std::move(text); }
    const std::string& GetMail() const { return m_mail; }
    void SetMail(std::string text) { m_mail = std::move(text); }
    const std::string& GetBody() const { return m_body; }
    void SetBody(std::string text) { m_body = std::move(text); }
    std::uint16_t GetHeld() const { return m_held; }
    void SetHeld(std::uint16_t count) { m_held = count; }
    std::uint32_t GetNewestHeld() const { return m_newestHeld; }
    void SetNewestHeld(std::uint32_t time) { m_newestHeld = time; }
    std::uint16_t GetResCount() const { return m_resCount; }
    void SetResCount(std::uint16_t count) { m_resCount = count; }
    std::uint32_t GetUpdated() const { return m_updated; }
    void SetUpdated(std::uint32_t time) { m_updated = time; }
    const std::string& GetRoot() const { return m_root; }
    void SetRoot(std::string root) { m_root = std::move(root); }

private:
    bool MakeThreadDir(const std::string& root, IStoreReporter* reporter) const;

    CBinaryId m_threadId;
    CBinaryId m_creatorId;
    CBinaryId m_reservedId;
    std::uint32_t m_created = 0;
    std::string m_title;
    std::string m_category;
    std::string m_name;
    std::string m_mail;
    std::string m_body;
    std::uint16_t m_held = 0;
    std::uint32_t m_newestHeld = 0;
    std::uint16_t m_resCount = 0;
    std::uint32_t m_updated = 0;
    std::string m_root;
};
