#include "framework/data_exchange.h"

#include "framework/dialog.h"
#include "framework/message_box.h"

#include <cerrno>
#include <cstdlib>

namespace {

// Whole decimal numbers only, with optional blanks around them and an optional sign.
bool ParseInt(const std::string& text, int& value) {
    const char* begin = text.c_str();
    while (*begin == ' ' || *begin == '\t')
        ++begin;
    if (*begin == '\0')
        return false;
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(begin, &end, 10);
    if (end == begin || errno == ERANGE)
        return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    if (*end != '\0')
        return false;
    value = static_cast<int>(parsed);
    return true;
}

HWND MessageOwner(const CDataExchange* dx) {
    return ::GetAncestor(dx->m_pDlgWnd->GetSafeHwnd(), GA_ROOT);
}

} // namespace

CDataExchange::CDataExchange(CDialog* dialog, bool saveAndValidate)
    : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}

HWND CDataExchange::PrepareCtrl(int id) {
    m_idLastControl = id;
    m_bEditLastControl = false;
    return m_pDlgWnd->GetDlgItem(id);
}

HWND CDataExchange::PrepareEditCtrl(int id) {
    HWND control = PrepareCtrl(id);
    m_bEditLastControl = true;
    return control;
}

void CDataExchange::Fail() {
    m_failed = true;
    if (!m_bSaveAndValidate)
        return;
    HWND control = m_pDlgWnd->GetDlgItem(m_idLastControl);
    if (control == nullptr)
        return;
    ::SetFocus(control);
    if (m_bEditLastControl)
        ::SendMessageA(control, EM_SETSEL, 0, -1);
}

void DDX_Text(CDataExchange* dx, int id, std::string& value) {
    if (dx->Failed())
        return;
    HWND control = dx->PrepareEditCtrl(id);
    if (dx->m_bSaveAndValidate)
        value = CWnd::GetWindowTextOf(control);
    else
        ::SetWindowTextA(control, value.c_str());
}

void DDX_Text(CDataExchange* dx, int id, int& value) {
    if (dx->Failed())
        return;
    HWND control = dx->PrepareEditCtrl(id);
    if (!dx->m_bSaveAndValidate) {
        ::SetWindowTextA(control, std::to_string(value).c_str());
        return;
    }
    int parsed = 0;
    if (!ParseInt(CWnd::GetWindowTextOf(control), parsed)) {
        AfxMessageBox("Please enter an integer.", MB_OK | MB_ICONEXCLAMATION, MessageOwner(dx));
        dx->Fail();
        return;
    }
    value = parsed;
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
    if (dx->Failed())
        return;
    HWND control = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageA(control, BM_GETCHECK, 0, 0));
    else
        ::SendMessageA(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_CBIndex(CDataExchange* dx, int id, int& index) {
    if (dx->Failed())
        return;
    HWND control = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate)
        index = static_cast<int>(::SendMessageA(control, CB_GETCURSEL, 0, 0));
    else
        ::SendMessageA(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (dx->Failed() || control.GetSafeHwnd() != nullptr)
        return;
    if (!control.SubclassDlgItem(id, dx->m_pDlgWnd->GetSafeHwnd()))
        dx->Fail();
}

void DDV_MinMaxInt(CDataExchange* dx, int value, int minValue, int maxValue) {
    if (dx->Failed() || !dx->m_bSaveAndValidate)
        return;
    if (value >= minValue && value <= maxValue)
        return;
    AfxMessageBox("Please enter an integer between " + std::to_string(minValue) + " and " +
                      std::to_string(maxValue) + ".",
                  MB_OK | MB_ICONEXCLAMATION, MessageOwner(dx));
    dx->Fail();
}
