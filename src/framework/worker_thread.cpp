#include "framework/worker_thread.h"

#include <process.h>

#include <memory>

bool CWorkerThread::Start(std::function<void()> work) {
    if (m_handle != nullptr || !work)
        return false;
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    // _beginthreadex rather than CreateThread: the work uses the C runtime.
    const uintptr_t handle =
        ::_beginthreadex(nullptr, 0, &CWorkerThread::Entry, owned.get(), 0, nullptr);
    if (handle == 0)
        return false;
    owned.release(); // the thread frees it
    m_handle = reinterpret_cast<HANDLE>(handle);
    return true;
}

void CWorkerThread::Join() {
    if (m_handle == nullptr)
        return;
    ::WaitForSingleObject(m_handle, INFINITE);
    ::CloseHandle(m_handle);
    m_handle = nullptr;
}

bool CWorkerThread::JoinFor(DWORD ms) {
    if (m_handle != nullptr && ::WaitForSingleObject(m_handle, ms) != WAIT_OBJECT_0)
        return false;
    Join();
    return true;
}

void CWorkerThread::Detach() {
    if (m_handle != nullptr)
        ::CloseHandle(m_handle);
    m_handle = nullptr;
}

unsigned __stdcall CWorkerThread::Entry(void* work) {
    std::unique_ptr<std::function<void()>> owned(static_cast<std::function<void()>*>(work));
    try {
        (*owned)();
    } catch (...) {
        // An exception must not end the process from a thread nobody watches.
    }
    return 0;
}
