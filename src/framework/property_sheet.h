#pragma once

#include "framework/dialog.h"

#include <commctrl.h>
#include <prsht.h>

#include <vector>

// One page of a property sheet, made from its dialog template when its tab is first shown.
// The tab shows the template's caption. Leaving the page or confirming the sheet takes the
// controls' values into the fields; a failed check keeps the page in front.
class CPropertyPage : public CDialog {
public:
    explicit CPropertyPage(UINT templateId);

    // The record handed to the property sheet; its lParam leads back to this object.
    const PROPSHEETPAGEA& PageRecord() const { return m_psp; }

protected:
    // Result: false keeps the page from being shown.
    virtual bool OnSetActive() { return true; }
    // Result: false keeps the page in front.
    virtual bool OnKillActive() { return UpdateData(true); }
    // Result: false keeps the sheet open (on this page).
    virtual bool OnApply() { return UpdateData(true); }
    virtual void OnReset() {}

    bool OnNotify(NMHDR* header, LRESULT* result) override;
    // Pages never end a dialog; OK and Cancel belong to the sheet.
    void OnOK() override {}
    void OnCancel() override {}

private:
    static INT_PTR CALLBACK PageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    PROPSHEETPAGEA m_psp;
};

// A modal property sheet over the common-controls PropertySheet: pages in the order added,
// the standard OK, Cancel and Apply buttons.
class CPropertySheet : public CWnd {
public:
    CPropertySheet(const char* caption, HWND parent = nullptr, UINT selectPage = 0);

    void AddPage(CPropertyPage* page);
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CPropertyPage* GetPage(int index) const { return m_pages.at(static_cast<size_t>(index)); }

    // IDOK when the sheet was confirmed, IDCANCEL when it was cancelled, -1 on failure.
    INT_PTR DoModal();

protected:
    // Runs while the sheet's window initialises, after the system's own initialisation;
    // the window is subclassed by then, so the sheet's messages reach OnMessage.
    virtual bool OnInitDialog() { return true; }
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    static int CALLBACK SheetCallback(HWND hwnd, UINT msg, LPARAM lParam);

    std::string m_caption;
    HWND m_parent;
    UINT m_startPage;
    std::vector<CPropertyPage*> m_pages;
    INT_PTR m_result = IDCANCEL;
};
