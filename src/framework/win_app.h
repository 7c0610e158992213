#pragma once

#include <windows.h>

#include <string>

// The application object: one per process, reachable through AfxGetApp(). Its profile
// operations read and write the application profile.
class CWinApp {
public:
    explicit CWinApp(std::string appName);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Returns false to end the process without running the message loop.
    virtual bool InitInstance() { return true; }
    virtual int ExitInstance() { return m_exitCode; }
    // Pumps messages until WM_QUIT, then runs ExitInstance; returns the exit code.
    virtual int Run();
    // Gives modeless dialogs their keyboard handling; true when the message was used.
    virtual bool PreTranslateMessage(MSG* msg);

    int GetProfileInt(const std::string& section, const std::string& key, int defaultValue) const;
    std::string GetProfileString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue = std::string()) const;
    bool WriteProfileInt(const std::string& section, const std::string& key, int value);
    bool WriteProfileString(const std::string& section, const std::string& key,
                            const std::string& value);

    const std::string m_appName;
    HINSTANCE m_hInstance;

protected:
    int m_exitCode = 0;
};

CWinApp* AfxGetApp();

// The program's entry: InitInstance, then the message loop when it asked for one.
int AfxWinMain();
