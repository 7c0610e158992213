#pragma once

#include "about/hyper_link.h"
#include "framework/dialog.h"
#include "framework/gdi.h"

// The about box: picture, version, links to the home page and the maker's mail address, a
// donation request, "Check for &Update" and an invisible button that opens the credits.
// It starts no check itself: its opener asks IsUpdateRequested after the modal run.
class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(HWND parent = nullptr);

    bool IsUpdateRequested() const { return m_updateRequested != 0; }

protected:
    void DoDataExchange(CDataExchange* dx) override;
    bool OnInitDialog() override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    int m_updateRequested = 0;
    CHyperLink m_mailLink;
    CHyperLink m_homeLink;
    CBitmap m_logo; // the picture at the display's scale
};
