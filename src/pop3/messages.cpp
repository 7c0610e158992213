#include "pop3/messages.h"

#include <algorithm>

Messages::Messages(int capacity) : m_Capacity(std::max(capacity, 0)) {}

void Messages::Add(const std::string& from, const std::string& subject, std::int64_t sizeKb,
                   const std::string& summary) {
    if (m_Count >= m_Capacity) {
        return;
    }
    m_FromList.push_back(from);
    m_SubjectList.push_back(subject);
    m_SizeList.push_back(std::to_string(sizeKb));
    m_SummaryList.push_back(summary);
    m_UidList.emplace_back();
    ++m_Count;
}

namespace {

std::string Entry(const std::vector<std::string>& list, int i, int count) {
    return (i >= 0 && i < count) ? list[static_cast<std::size_t>(i)] : std::string();
}

} // namespace

std::string Messages::GetFrom(int i) const {
    return Entry(m_FromList, i, m_Count);
}
std::string Messages::GetSubject(int i) const {
    return Entry(m_SubjectList, i, m_Count);
}
std::string Messages::GetSize(int i) const {
    return Entry(m_SizeList, i, m_Count);
}
std::string Messages::GetSummary(int i) const {
    return Entry(m_SummaryList, i, m_Count);
}
std::string Messages::GetUid(int i) const {
    return Entry(m_UidList, i, m_Count);
}

void Messages::SetUid(int i, const std::string& uid) {
    if (i >= 0 && i < m_Count) {
        m_UidList[static_cast<std::size_t>(i)] = uid;
    }
}
