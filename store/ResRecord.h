// CResRecord: one response of a thread, stored as R".res" in its thread's
// directory, with the operations that post, store and load it and the list
// of held responses the transfer offers. A short-lived value made for one
// operation; used on the GUI thread and on the fetch worker.
#pragma once

#include "base/BinaryId.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CThreadRecord;
class IStoreReporter;

class CResRecord {
public:
    // The largest ".res" the fields can express.
    static constexpr std::size_t kMaxResFileSize = 5 * 16 + 4 + 3 * 256 + 2 + 65535;

    // Empty texts and ids; the time is now.
    explicit CResRecord(std::uint32_t now = 0);
    // A response composed here, posted at now.
    CResRecord(const CBinaryId& threadId, const CBinaryId& resId, const CBinaryId& reservedId1,
               std::string title, std::string name, std::string mail, std::string body,
               const CBinaryId& posterId, const CBinaryId& reservedId2, std::uint32_t now);

    // Writes the ".res" file, counts the response in the thread's ".info"
    // and moves the thread to its new place in its category's index. True
    // when the ".res" and the ".info" could both be opened.
    bool Create(const std::string& root, IStoreReporter* reporter);
    // Stores a ".res" received from another node byte for byte. The record
    // holds the thread id and the response id before the call; bytes that
    // carry other ids are refused without a message. The thread directory
    // must exist.
    bool StoreFetched(const std::string& root, std::string_view bytes, IStoreReporter* reporter);
    // Reads a ".res" file; true when it and the thread's ".info" could be
    // opened. Fields a short file does not reach keep their earlier values.
    bool Load(std::string_view threadId, std::string_view resId, const std::string& root,
              IStoreReporter* reporter);

    // The held responses of a thread: one id per "*.res" file in its
    // directory, taken from the first 32 characters of the file name, in
    // listing order. Returns the count.
    static std::size_t ListHeld(const CThreadRecord& thread, std::vector<CBinaryId>& held);
    static std::size_t ListHeld(const std::string& root, std::string_view threadId,
                                std::vector<CBinaryId>& held);

    // The thread id and response id at the head of ".res" bytes; false when
    // the bytes are shorter than the two ids.
    static bool PeekIds(std::string_view bytes, CBinaryId& threadId, CBinaryId& resId);

    std::string Encode() const;
    // False when the bytes end before the body (fields read so far kept).
    bool Decode(std::string_view bytes);

    const CBinaryId& GetThreadId() const { return m_threadId; }
    void SetThreadId(const CBinaryId& id) { m_threadId = id; }
    const CBinaryId& GetResId() const { return m_resId; }
    void SetResId(const CBinaryId& id) { m_resId = id; }
    const CBinaryId& GetReservedId1() const { return m_reservedId1; }
    void SetReservedId1(const CBinaryId& id) { m_reservedId1 = id; }
    const CBinaryId& GetPosterId() const { return m_posterId; }
    void SetPosterId(const CBinaryId& id) { m_posterId = id; }
    const CBinaryId& GetReservedId2() const { return m_reservedId2; }
    void SetReservedId2(const CBinaryId& id) { m_reservedId2 = id; }
    std::uint32_t GetTime() const { return m_time; }
    void SetTime(std::uint32_t time) { m_time = time; }
    const std::string& GetTitle() const { return m_title; }
    void SetTitle(std::string text) { m_title = std::move(text); }
    const std::string& GetName() const { return m_name; }
    void SetName(std::string text) { m_name = std::move(text); }
    const std::string& GetMail() const { return m_mail; }
    void SetMail(std::string text) { m_mail = std::move(text); }
    const std::string& GetBody() const { return m_body; }
    void SetBody(std::string text) { m_body = std::move(text); }
    const std::string& GetThreadCategory() const { return m_threadCategory; }
    void SetThreadCategory(std::string text) { m_threadCategory = std::move(text); }

private:
    void CountInInfo(const std::string& root, bool& infoOpened, IStoreReporter* reporter) const;

    CBinaryId m_threadId;
    CBinaryId m_resId;
    CBinaryId m_reservedId1;
    CBinaryId m_posterId;
    CBinaryId m_reservedId2;
    std::uint32_t m_time = 0;
    std::string m_title;
    std::string m_name;
    std::string m_mail;
    std::string m_body;
    std::string m_threadCategory;
};
