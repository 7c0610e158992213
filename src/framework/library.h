#pragma once

#include <windows.h>

#include <string>
#include <utility>

// A loaded module, freed with the object. Move-only.
class CLibrary {
public:
    CLibrary() = default;
    ~CLibrary() { Free(); }
    CLibrary(CLibrary&& other) noexcept : m_module(std::exchange(other.m_module, nullptr)) {}
    CLibrary& operator=(CLibrary&& other) noexcept {
        if (this != &other) {
            Free();
            m_module = std::exchange(other.m_module, nullptr);
        }
        return *this;
    }
    CLibrary(const CLibrary&) = delete;
    CLibrary& operator=(const CLibrary&) = delete;

    // Maps the file for its resources only: no code of it runs in this process.
    bool LoadForResources(const std::string& path) {
        Free();
        m_module = ::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        return m_module != nullptr;
    }
    void Free() {
        if (m_module != nullptr)
            ::FreeLibrary(m_module);
        m_module = nullptr;
    }

    HMODULE Get() const { return m_module; }
    operator HMODULE() const { return m_module; }

private:
    HMODULE m_module = nullptr;
};
