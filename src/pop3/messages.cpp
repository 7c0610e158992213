#include "pop3/messages.h"

#include <algorithm>

Messages::Messages(int capacity)
    : m_FromList(static_cast<std::size_t>(std::max(capacity, 0))), m_SubjectList(m_FromList.size()),
      m_SizeList(m_FromList.size()), m_SummaryList(m_FromList.size()), m_UidList(m_FromList.size()),
      m_Capacity(std::max(capacity, 0)) {}

void Messages::Add(const std::string& from, const std::string& subject, int sizeKb,
                   const std::string& summary) {
    if (m_Count >= m_Capacity) {
        return;
    }
    const auto i = static_cast<std::size_t>(m_Count);
    m_FromList[i] = from;
    m_SubjectList[i] = subject;
    m_SizeList[i] = std::to_string(sizeKb);
    m_SummaryList[i] = summary;
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
    if (i >= 0 && i < m_Capacity) {
        m_UidList[static_cast<std::size_t>(i)] = uid;
    }
}
