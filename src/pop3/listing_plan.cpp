#include "pop3/listing_plan.h"

namespace pop3 {

bool ListingPlan::Start(int count, int lines, bool withList, bool withQuit) {
    if (Active() || count <= 0) {
        return false;
    }
    m_WithList = withList;
    m_WithQuit = withQuit;
    m_Total = static_cast<std::size_t>(count) + (withList ? 1 : 0) + (withQuit ? 1 : 0);
    m_Read = m_Sent = 0;
    m_Lines = lines;
    m_AheadBytes = 0;
    return true;
}

void ListingPlan::Drop() {
    m_Total = m_Read = m_Sent = 0;
    m_AheadBytes = 0;
}

ListingPlan::Command ListingPlan::At(std::size_t index) const {
    if (m_WithQuit && index + 1 == m_Total) {
        return {Command::Quit, 0, 0};
    }
    if (m_WithList) {
        if (index == 0) {
            return {Command::List, 0, 0};
        }
        return {Command::Top, static_cast<int>(index), m_Lines};
    }
    return {Command::Top, static_cast<int>(index) + 1, m_Lines};
}

std::string ListingPlan::LineOf(std::size_t index) const {
    const Command command = At(index);
    if (command.kind == Command::List) {
        return "LIST\r\n";
    }
    if (command.kind == Command::Quit) {
        return "QUIT\r\n";
    }
    return "TOP " + std::to_string(command.message) + " " + std::to_string(m_Lines) + "\r\n";
}

ListingPlan::Claim ListingPlan::Take(const Command& command) {
    if (!Active()) {
        return Claim::Unplanned;
    }
    const Command next = At(m_Read);
    if (next.kind == command.kind && next.message == command.message &&
        next.lines == command.lines) {
        ++m_Read;
        if (m_Read <= m_Sent) {
            m_AheadBytes -= LineOf(m_Read - 1).size();
            return Claim::OnWire;
        }
        m_Sent = m_Read;
        return Claim::Send;
    }
    if (m_Sent > m_Read) {
        return Claim::OutOfTurn;
    }
    Drop(); // the plan was given up before it began
    return Claim::Unplanned;
}

void ListingPlan::AppendAhead(std::string& out) {
    while (m_Sent < m_Total) {
        const std::string next = LineOf(m_Sent);
        if (m_AheadBytes + next.size() > kAheadWindow) {
            break;
        }
        out += next;
        m_AheadBytes += next.size();
        ++m_Sent;
    }
}

} // namespace pop3
