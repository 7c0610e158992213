#include "framework/property_sheet.h"

namespace {

// PropertySheet's callback carries no user data: the sheet being made is remembered here.
thread_local CPropertySheet* t_creating = nullptr;

} // namespace

CPropertyPage::CPropertyPage(UINT templateId) : CDialog(templateId), m_psp{sizeof(m_psp)} {
    m_psp.dwFlags = PSP_DEFAULT;
    m_psp.hInstance = Instance();
    m_psp.pszTemplate = MAKEINTRESOURCEA(templateId);
    m_psp.pfnDlgProc = &CPropertyPage::PageProc;
    m_psp.lParam = reinterpret_cast<LPARAM>(this);
}

bool CPropertyPage::OnNotify(NMHDR* header, LRESULT* result) {
    if (header->hwndFrom != ::GetParent(m_hWnd))
        return CDialog::OnNotify(header, result);
    switch (header->code) {
    case PSN_SETACTIVE:
        *result = OnSetActive() ? 0 : -1;
        return true;
    case PSN_KILLACTIVE:
        *result = OnKillActive() ? FALSE : TRUE;
        return true;
    case PSN_APPLY:
        *result = OnApply() ? PSNRET_NOERROR : PSNRET_INVALID;
        return true;
    case PSN_RESET:
        OnReset();
        *result = 0;
        return true;
    default:
        return CDialog::OnNotify(header, result);
    }
}

INT_PTR CALLBACK CPropertyPage::PageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CPropertyPage*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr && msg == WM_INITDIALOG) {
        // The sheet hands the page a copy of its record, lParam included.
        const auto* record = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
        self = record != nullptr ? reinterpret_cast<CPropertyPage*>(record->lParam) : nullptr;
        if (self != nullptr)
            self->Attach(hwnd);
    }
    if (self == nullptr)
        return FALSE;
    return Route(self, hwnd, msg, wParam, lParam);
}

CPropertySheet::CPropertySheet(const char* caption, HWND parent, UINT selectPage)
    : m_caption(caption != nullptr ? caption : ""), m_parent(parent), m_startPage(selectPage) {}

void CPropertySheet::AddPage(CPropertyPage* page) {
    m_pages.push_back(page);
}

INT_PTR CPropertySheet::DoModal() {
    if (m_hWnd != nullptr || m_pages.empty())
        return -1;
    std::vector<PROPSHEETPAGEA> records;
    records.reserve(m_pages.size());
    for (const CPropertyPage* page : m_pages)
        records.push_back(page->PageRecord());

    PROPSHEETHEADERA header = {sizeof(header)};
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_USECALLBACK;
    header.hwndParent = m_parent;
    header.hInstance = Instance();
    header.pszCaption = m_caption.c_str();
    header.nPages = static_cast<UINT>(records.size());
    header.nStartPage = m_startPage < records.size() ? m_startPage : 0;
    header.ppsp = records.data();
    header.pfnCallback = &CPropertySheet::SheetCallback;

    m_result = IDCANCEL;
    CPropertySheet* const outer = t_creating;
    t_creating = this;
    const INT_PTR ran = ::PropertySheetA(&header);
    t_creating = outer;
    // The window is gone; the subclass went with it at WM_NCDESTROY. The system counts a
    // confirmed run as "changes saved" (1), though some versions only do so after a page
    // reported a change; the OK button seen on the way out covers those.
    if (ran < 0)
        return -1;
    return ran > 0 ? IDOK : m_result;
}

bool CPropertySheet::OnCommand(WPARAM wParam, LPARAM) {
    if (LOWORD(wParam) != IDOK || HIWORD(wParam) != BN_CLICKED)
        return false;
    HWND sheet = m_hWnd;
    Default();
    // A sheet that accepted OK has no current page any more; one whose page refused stays.
    if (::IsWindow(sheet) && PropSheet_GetCurrentPageHwnd(sheet) == nullptr)
        m_result = IDOK;
    return true;
}

int CALLBACK CPropertySheet::SheetCallback(HWND hwnd, UINT msg, LPARAM) {
    CPropertySheet* self = t_creating;
    if (msg != PSCB_INITIALIZED || self == nullptr || self->m_hWnd != nullptr)
        return 0;
    if (self->SubclassWindow(hwnd))
        self->OnInitDialog();
    return 0;
}
