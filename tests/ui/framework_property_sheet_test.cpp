#include "framework/data_exchange.h"
#include "framework/property_sheet.h"
#include "framework_test_ids.h"
#include "framework_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class TextPage : public CPropertyPage {
public:
    TextPage() : CPropertyPage(IDD_FW_PAGE_TEXT) {}
    std::string m_text = "start";
    int m_initCalls = 0;
    HWND m_hwndAtInit = nullptr;

protected:
    bool OnInitDialog() override {
        ++m_initCalls;
        m_hwndAtInit = m_hWnd;
        return CPropertyPage::OnInitDialog();
    }
    void DoDataExchange(CDataExchange* dx) override { DDX_Text(dx, IDC_FW_PAGE_TEXT, m_text); }
};

class NumberPage : public CPropertyPage {
public:
    NumberPage() : CPropertyPage(IDD_FW_PAGE_NUMBER) {}
    int m_number = 2;
    int m_initCalls = 0;

protected:
    bool OnInitDialog() override {
        ++m_initCalls;
        return CPropertyPage::OnInitDialog();
    }
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Text(dx, IDC_FW_PAGE_NUMBER, m_number);
        DDV_MinMaxInt(dx, m_number, 1, 5);
    }
};

class Sheet : public CPropertySheet {
public:
    explicit Sheet(UINT startPage = 0) : CPropertySheet("Two pages", nullptr, startPage) {
        AddPage(&m_textPage);
        AddPage(&m_numberPage);
    }
    TextPage m_textPage;
    NumberPage m_numberPage;
    HWND m_hwndAtInit = nullptr;
    std::string m_captionAtInit;

protected:
    bool OnInitDialog() override {
        m_hwndAtInit = m_hWnd;
        m_captionAtInit = GetWindowText();
        return CPropertySheet::OnInitDialog();
    }
};

std::function<void()> Abort(Sheet& sheet) {
    return [&sheet] {
        if (sheet.GetSafeHwnd() != nullptr)
            PropSheet_PressButton(sheet.GetSafeHwnd(), PSBTN_CANCEL);
    };
}

HWND CurrentPage(const CPropertySheet& sheet) {
    return PropSheet_GetCurrentPageHwnd(sheet.GetSafeHwnd());
}

std::vector<std::string> TabTitles(HWND sheet) {
    HWND tab = PropSheet_GetTabControl(sheet);
    std::vector<std::string> titles;
    const int count = TabCtrl_GetItemCount(tab);
    for (int i = 0; i < count; ++i) {
        char text[64] = {};
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof(text);
        ::SendMessageA(tab, TCM_GETITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        titles.push_back(text);
    }
    return titles;
}

TEST(FrameworkPropertySheet, OkTakesTheShownPageAndLeavesTheOtherUnmade) {
    MessageBoxRecorder boxes;
    Sheet sheet;
    std::vector<std::string> titles;
    HWND firstPage = nullptr;
    ModalDriver driver({[&] {
                           if (sheet.GetSafeHwnd() == nullptr)
                               return false;
                           titles = TabTitles(sheet);
                           firstPage = CurrentPage(sheet);
                           SetItemText(firstPage, IDC_FW_PAGE_TEXT, "typed");
                           Click(sheet, IDOK);
                           return true;
                       }},
                       Abort(sheet));

    EXPECT_EQ(IDOK, sheet.DoModal());
    EXPECT_TRUE(driver.Finished());
    EXPECT_EQ("Two pages", sheet.m_captionAtInit);
    EXPECT_NE(nullptr, sheet.m_hwndAtInit);
    EXPECT_EQ((std::vector<std::string>{"Words", "Numbers"}), titles);
    EXPECT_EQ(firstPage, sheet.m_textPage.m_hwndAtInit);
    EXPECT_EQ("typed", sheet.m_textPage.m_text);
    EXPECT_EQ(1, sheet.m_textPage.m_initCalls);
    EXPECT_EQ(0, sheet.m_numberPage.m_initCalls);
    EXPECT_EQ(2, sheet.m_numberPage.m_number);
    EXPECT_EQ(nullptr, sheet.GetSafeHwnd());
    EXPECT_EQ(nullptr, sheet.m_textPage.GetSafeHwnd());
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST(FrameworkPropertySheet, CancelTakesNothing) {
    MessageBoxRecorder boxes;
    Sheet sheet;
    ModalDriver driver({[&] {
                           if (sheet.GetSafeHwnd() == nullptr)
                               return false;
                           SetItemText(CurrentPage(sheet), IDC_FW_PAGE_TEXT, "typed");
                           Click(sheet, IDCANCEL);
                           return true;
                       }},
                       Abort(sheet));

    EXPECT_EQ(IDCANCEL, sheet.DoModal());
    EXPECT_TRUE(driver.Finished());
    EXPECT_EQ("start", sheet.m_textPage.m_text);
}

TEST(FrameworkPropertySheet, RefusedValueKeepsItsPageInFrontUntilCorrected) {
    MessageBoxRecorder boxes;
    Sheet sheet(1);
    HWND numberPage = nullptr;
    HWND pageAfterSwitch = nullptr;
    int focusAfterSwitch = 0;
    bool openAfterOk = false;
    HWND pageAfterOk = nullptr;
    size_t boxesAfterSwitch = 0;
    ModalDriver driver({[&] {
                            if (sheet.GetSafeHwnd() == nullptr)
                                return false;
                            // The sheet opened on the page asked for.
                            numberPage = CurrentPage(sheet);
                            EXPECT_EQ(sheet.m_numberPage.GetSafeHwnd(), numberPage);
                            EXPECT_EQ("2", ItemText(numberPage, IDC_FW_PAGE_NUMBER));
                            SetItemText(numberPage, IDC_FW_PAGE_NUMBER, "9");
                            PropSheet_SetCurSel(sheet.GetSafeHwnd(), nullptr, 0);
                            return true;
                        },
                        [&] {
                            pageAfterSwitch = CurrentPage(sheet);
                            focusAfterSwitch = ::GetDlgCtrlID(::GetFocus());
                            boxesAfterSwitch = boxes.Boxes().size();
                            PropSheet_PressButton(sheet.GetSafeHwnd(), PSBTN_OK);
                            return true;
                        },
                        [&] {
                            openAfterOk = ::IsWindow(sheet.GetSafeHwnd()) != FALSE;
                            pageAfterOk = CurrentPage(sheet);
                            SetItemText(numberPage, IDC_FW_PAGE_NUMBER, "5");
                            PropSheet_SetCurSel(sheet.GetSafeHwnd(), nullptr, 0);
                            return true;
                        },
                        [&] {
                            EXPECT_EQ(sheet.m_textPage.GetSafeHwnd(), CurrentPage(sheet));
                            PropSheet_PressButton(sheet.GetSafeHwnd(), PSBTN_OK);
                            return true;
                        }},
                       Abort(sheet));

    EXPECT_EQ(IDOK, sheet.DoModal());
    EXPECT_TRUE(driver.Finished());
    EXPECT_EQ(numberPage, pageAfterSwitch);
    EXPECT_EQ(1u, boxesAfterSwitch);
    EXPECT_EQ(IDC_FW_PAGE_NUMBER, focusAfterSwitch);
    EXPECT_TRUE(openAfterOk);
    EXPECT_EQ(numberPage, pageAfterOk);
    ASSERT_EQ(2u, boxes.Boxes().size());
    EXPECT_NE(std::string::npos, boxes.Boxes()[1].text.find("between 1 and 5"));
    EXPECT_EQ(5, sheet.m_numberPage.m_number);
    EXPECT_EQ(1, sheet.m_numberPage.m_initCalls);
}

} // namespace
