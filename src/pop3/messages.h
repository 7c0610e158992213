#pragma once

#include <string>
#include <vector>

// The result of a check that built a list: entry i describes message i + 1 on the server.
// Copyable, so that a worker can check against a copy of what the window shows.
class Messages {
public:
    explicit Messages(int capacity);
    virtual ~Messages() = default;

    // Ignored once the record is full.
    void Add(const std::string& from, const std::string& subject, int sizeKb,
             const std::string& summary);

    int GetCount() const { return m_Count; }
    std::string GetFrom(int i) const;
    std::string GetSubject(int i) const;
    std::string GetSize(int i) const;
    std::string GetSummary(int i) const;
    // The message's unique id on the server; empty when the server gave none.
    void SetUid(int i, const std::string& uid);
    std::string GetUid(int i) const;

private:
    std::vector<std::string> m_FromList;
    std::vector<std::string> m_SubjectList;
    std::vector<std::string> m_SizeList;
    std::vector<std::string> m_SummaryList;
    std::vector<std::string> m_UidList;
    int m_Capacity;
    int m_Count = 0;
};
