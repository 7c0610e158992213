#pragma once

// The events by which the window test and the quiet program it starts speak to each other.
#include <windows.h>

constexpr char kQuietProgramStarted[] = "TarnwickQuietProgramStarted";
constexpr char kQuietProgramQuit[] = "TarnwickQuietProgramQuit";

// An event made or opened by name, closed with the object.
class NamedEvent {
public:
    explicit NamedEvent(HANDLE handle) : m_handle(handle) {}
    ~NamedEvent() {
        if (m_handle != nullptr)
            ::CloseHandle(m_handle);
    }
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;
    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle;
};
