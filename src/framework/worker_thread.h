#pragma once

#include <windows.h>

#include <functional>

// A thread owned by this object: Start runs one piece of work on it, Join waits for its end.
// The destructor joins, so the work never outlives what it was given. Move is not offered:
// the running work may hold a pointer to its owner.
class CWorkerThread {
public:
    CWorkerThread() = default;
    ~CWorkerThread() { Join(); }
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    // False when a thread is still held (not yet joined) or the system refused one.
    bool Start(std::function<void()> work);
    // Waits for the thread to end and releases it; does nothing when none is held.
    void Join();
    // As Join, but waits at most ms; false when the thread still runs (and is still held).
    bool JoinFor(DWORD ms);
    // Lets go of a thread that may still run, for the end of the process: the work must
    // own everything it uses.
    void Detach();
    bool IsHeld() const { return m_handle != nullptr; }

private:
    static unsigned __stdcall Entry(void* work);

    HANDLE m_handle = nullptr;
};
