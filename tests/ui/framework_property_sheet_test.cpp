#include "framework/data_exchange.h"
#include "framework/property_sheet.h"
#include "framework_test_support.h"
#include "res/resource.h"

#include <gtest/gtest.h>

namespace {

// A page over one of the settings templates, exchanging the text of one edit.
class TextPage : public CPropertyPage {
public:
    TextPage(UINT templateId, int editId) : CPropertyPage(templateId), m_editId(editId) {}
    std::string m_text = "start";
    int m_initCalls = 0;

protected:
    bool OnInitDialog() override {
        ++m_initCalls;
        return CPropertyPage::OnInitDialog();
    }
    void DoDataExchange(CDataExchange* dx) override { DDX_Text(dx, m_editId, m_text); }

private:
    int m_editId;
};

TEST(FrameworkPropertySheet, OkTakesTheShownPageCancelNothingAndUnseenPagesAreNeverMade) {
    for (int button : {IDOK, IDCANCEL}) {
        SCOPED_TRACE(button);
        MessageBoxRecorder boxes;
        TextPage first(IDD_MAIL_SETTINGS_PAGE, IDC_MAIL_SERVER);
        TextPage second(IDD_NOTIFICATION_PAGE, IDC_SOUND_FILE);
        CPropertySheet sheet("Two pages");
        sheet.AddPage(&first);
        sheet.AddPage(&second);
        auto step = [&] {
            EXPECT_EQ("Two pages", sheet.GetWindowText());
            EXPECT_EQ("start", ItemText(CurrentPage(sheet), IDC_MAIL_SERVER));
            SetItemText(CurrentPage(sheet), IDC_MAIL_SERVER, "typed");
            Click(sheet, button);
        };
        EXPECT_EQ(button, RunModal(sheet, {step}));
        EXPECT_EQ(button == IDOK ? "typed" : "start", first.m_text);
        EXPECT_EQ(1, first.m_initCalls);
        EXPECT_EQ(0, second.m_initCalls);
        EXPECT_EQ("start", second.m_text);
        EXPECT_EQ(nullptr, sheet.GetSafeHwnd());
        EXPECT_EQ(nullptr, first.GetSafeHwnd());
        EXPECT_TRUE(boxes.Boxes().empty());
    }
}

} // namespace
