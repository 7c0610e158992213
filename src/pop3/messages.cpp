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
    m_OctetsList.push_back(0);
    m_DigestList.push_back(0);
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

std::int64_t Messages::GetOctets(int i) const {
    return i >= 0 && i < m_Count ? m_OctetsList[static_cast<std::size_t>(i)] : 0;
}

void Messages::SetIdentity(int i, const MessageIdentity& identity) {
    if (i >= 0 && i < m_Count) {
        const auto at = static_cast<std::size_t>(i);
        m_UidList.Replace(at, identity.uid);
        m_OctetsList[at] = identity.octets;
        m_DigestList[at] = identity.headerDigest;
    }
}

MessageIdentity Messages::GetIdentity(int i) const {
    MessageIdentity identity;
    if (i >= 0 && i < m_Count) {
        const auto at = static_cast<std::size_t>(i);
        identity.uid = GetUid(i);
        identity.octets = m_OctetsList[at];
        identity.headerDigest = m_DigestList[at];
    }
    return identity;
}
