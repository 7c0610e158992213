#pragma once

#include "about/credit_static.h"
#include "framework/dialog.h"

// "Thanks": the credits rolling in red, cyan and white over blue fading to black.
class CCreditsDlg : public CDialog {
public:
    explicit CCreditsDlg(HWND parent = nullptr);

    // The credit lines, separated by '|'.
    static const char* const kCreditText;

protected:
    bool OnInitDialog() override;

private:
    CCreditStatic m_credits;
};
