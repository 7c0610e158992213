#pragma once

#include <string>

#include "about/hyper_link.h"
#include "framework/dialog.h"

// The notice of a newer version, with its download address as a link.
class CAutoUpdateDlg : public CDialog {
public:
    // An empty address shows the address of the update file instead.
    explicit CAutoUpdateDlg(const std::string& url, HWND parent = nullptr);

    const std::string& Url() const { return m_url; }

protected:
    void DoDataExchange(CDataExchange* dx) override;
    bool OnInitDialog() override;

private:
    CHyperLink m_link;
    std::string m_url;
};
