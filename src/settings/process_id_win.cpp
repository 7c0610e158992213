#include "settings/process_id.h"

#include <memory>

#include <windows.h>

namespace process_id {

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};

} // namespace

unsigned long Current() {
    return ::GetCurrentProcessId();
}

bool IsGone(unsigned long id) {
    const std::unique_ptr<void, HandleCloser> process(
        ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id)));
    if (!process) {
        // No such process; a refusal means one lives there.
        return ::GetLastError() == ERROR_INVALID_PARAMETER;
    }
    // Someone's open handle keeps an ended process (and its id) around.
    return ::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0;
}

} // namespace process_id
