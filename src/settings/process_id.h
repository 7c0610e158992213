#pragma once

#include <string_view>

// Files a process leaves for itself carry its id in their names, so that a later run can
// tell whether their owner is still alive.
namespace process_id {

unsigned long Current();

// True only when no process of that id exists (or it has ended); a process we may not
// look at counts as alive, so nothing of someone else's is ever taken for abandoned.
bool IsGone(unsigned long id);

// The decimal id the text is, in either width of a file name's characters; 0 when it is
// not one or cannot be a process id.
template <class Char> unsigned long Parse(std::basic_string_view<Char> digits) {
    if (digits.empty() || digits.size() > 10 || digits.front() == Char('0'))
        return 0;
    unsigned long long value = 0;
    for (const Char c : digits) {
        if (c < Char('0') || c > Char('9'))
            return 0;
        value = value * 10 + static_cast<unsigned>(c - Char('0'));
    }
    return value > 0xffffffffull ? 0 : static_cast<unsigned long>(value);
}

} // namespace process_id
