#include "pop3/messages.h"

#include <algorithm>

Messages::Messages(int capacity) : m_Capacity(std::max(capacity, 0)) {}

void Messages::Add(const std::string& from, const std::string& subject, std::int64_t sizeKb,
                   const std::string& summary) {
    if (m_Count >= m_Capacity || !m_FromList.Fits(from.size()) ||
        !m_SubjectList.Fits(subject.size()) || !m_SummaryList.Fits(summary.size())) {
        return;
    }
    m_FromList.Append(from);
    m_SubjectList.Append(subject);
    m_SizeList.push_back(sizeKb);
    m_SummaryList.Append(summary);
    m_UidList.Append("");
    ++m_Count;
}

std::string Messages::GetFrom(int i) const {
    return i >= 0 ? m_FromList.At(static_cast<std::size_t>(i)) : std::string();
}
std::string Messages::GetSubject(int i) const {
    return i >= 0 ? m_SubjectList.At(static_cast<std::size_t>(i)) : std::string();
}
std::string Messages::GetSize(int i) const {
    return i >= 0 && i < m_Count ? std::to_string(m_SizeList[static_cast<std::size_t>(i)])
                                 : std::string();
}
std::string Messages::GetSummary(int i) const {
    return i >= 0 ? m_SummaryList.At(static_cast<std::size_t>(i)) : std::string();
}
std::string Messages::GetUid(int i) const {
    return i >= 0 ? m_UidList.At(static_cast<std::size_t>(i)) : std::string();
}

void Messages::SetUid(int i, const std::string& uid) {
    if (i >= 0) {
        m_UidList.Replace(static_cast<std::size_t>(i), uid);
    }
}
