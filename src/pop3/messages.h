#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "pop3/packed_texts.h"

// What tells a listed message from any other on its server: its unique id when the server
// gave one; always its size in octets and the digest of its header block.
struct MessageIdentity {
    std::string uid;
    std::int64_t octets = 0;
    std::uint64_t headerDigest = 0;
};

// The result of a check that built a list: entry i describes message i + 1 on the server.
// Copyable, so that a worker can check against a copy of what the window shows.
class Messages {
public:
    // capacity: the most entries it will take. Nothing is set aside for them: the count
    // comes from the server, and rows take memory only as they are added.
    explicit Messages(int capacity);
    virtual ~Messages() = default;

    // Ignored once the record is full, or holds 4 GiB of one kind of text.
    void Add(const std::string& from, const std::string& subject, std::int64_t sizeKb,
             const std::string& summary);

    int GetCount() const { return m_Count; }
    std::string GetFrom(int i) const;
    std::string GetSubject(int i) const;
    std::string GetSize(int i) const;
    std::string GetSummary(int i) const;
    // Only for an entry already added. The unique id is empty when the server gave none.
    void SetIdentity(int i, const MessageIdentity& identity);
    MessageIdentity GetIdentity(int i) const;
    std::string GetUid(int i) const;
    std::int64_t GetOctets(int i) const;

private:
    // Packed, so that a row costs about what the server sent for it however short that was.
    pop3::PackedTexts m_FromList;
    pop3::PackedTexts m_SubjectList;
    std::deque<std::int64_t> m_SizeList; // kilobytes
    pop3::PackedTexts m_SummaryList;
    pop3::PackedTexts m_UidList;
    std::deque<std::int64_t> m_OctetsList;
    std::deque<std::uint64_t> m_DigestList;
    int m_Capacity;
    int m_Count = 0;
};
