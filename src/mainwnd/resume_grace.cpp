#include "mainwnd/resume_grace.h"

namespace {

// The session's own words when no connection came about at all (refused, unreachable, no
// name resolution); a refused login or a broken reply is a real answer and is reported.
const char kNoConnection[] = "Server cannot be connected";

} // namespace

void ResumeGrace::Resumed(std::uint64_t now) {
    m_resumed = true;
    m_resumedAt = now;
    m_deferred = 0;
}

bool ResumeGrace::DefersFailure(const std::string& failure, std::uint64_t now) {
    if (!m_resumed || failure != kNoConnection || now - m_resumedAt >= m_GraceMs)
        return false;
    ++m_deferred;
    return true;
}
