#include "settings/process_id.h"

#include <cerrno>
#include <climits>

#include <signal.h>
#include <unistd.h>

namespace process_id {

unsigned long Current() {
    return static_cast<unsigned long>(::getpid());
}

bool IsGone(unsigned long id) {
    if (id == 0 || id > static_cast<unsigned long>(INT_MAX))
        return false;
    // Signal 0 only asks; EPERM means it exists but belongs to someone else.
    return ::kill(static_cast<pid_t>(id), 0) != 0 && errno == ESRCH;
}

} // namespace process_id
