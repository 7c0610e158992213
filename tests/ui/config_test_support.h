#pragma once

#include "config/conf_dialog.h"
#include "framework_test_support.h"
#include "settings/account.h"
#include "settings/configuration.h"
#include "settings/profile.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Each test gets its own profile, a recorder for message boxes and a way to run the
// configuration sheet with scripted steps.
class ConfigSheetTest : public ::testing::Test {
protected:
    // Stores every setting the sheet shows, none of them at its default.
    static void SeedProfile() {
        Profile& profile = Profile::Application();
        profile.WriteInt("Notification", "CheckMailOnStartup", 0);
        profile.WriteInt("Notification", "UseDefaultSound", 0);
        profile.WriteInt("Notification", "UseDefaultEmail", 0);
        profile.WriteString("Notification", "NotificationSoundFile", "C:\\sounds\\bell.wav");
        profile.WriteString("Notification", "EmailClient", "C:\\mail\\reader.exe");
        profile.WriteInt("Notification", "Interval", 17);
        profile.WriteInt("Notification", "FirstTime", 1);
        Account account;
        account.Set("ada", "s3cret", "pop.example.org", 12, 0);
        account.Save();
    }

    // Runs a "Configuration" sheet opened on page 0 through `steps`; the sheet must be
    // closed by the last step. Cancel ends a sheet that is still open after five seconds.
    INT_PTR Run(CConfDialog& sheet, std::vector<ModalDriver::Step> steps) {
        std::vector<ModalDriver::Step> all;
        all.push_back([&sheet] { return sheet.GetSafeHwnd() != nullptr; });
        all.insert(all.end(), steps.begin(), steps.end());
        ModalDriver driver(std::move(all), [&sheet] {
            if (sheet.GetSafeHwnd() != nullptr)
                PropSheet_PressButton(sheet.GetSafeHwnd(), PSBTN_CANCEL);
        });
        const INT_PTR result = sheet.DoModal();
        EXPECT_TRUE(driver.Finished());
        EXPECT_FALSE(driver.TimedOut());
        return result;
    }

    static HWND Page(const CConfDialog& sheet) {
        return PropSheet_GetCurrentPageHwnd(sheet.GetSafeHwnd());
    }
    // Shows the page at `index` (leaving the current one, with its checks) and returns the
    // page now in front.
    static HWND ShowPage(const CConfDialog& sheet, int index) {
        PropSheet_SetCurSel(sheet.GetSafeHwnd(), nullptr, index);
        return Page(sheet);
    }
    static void PressOk(const CConfDialog& sheet) {
        PropSheet_PressButton(sheet.GetSafeHwnd(), PSBTN_OK);
    }
    static void PressCancel(const CConfDialog& sheet) {
        PropSheet_PressButton(sheet.GetSafeHwnd(), PSBTN_CANCEL);
    }

    static constexpr int kMailPage = 0;
    static constexpr int kGeneralPage = 1;
    static constexpr int kNotificationPage = 2;

    TempProfile m_profile;
    MessageBoxRecorder m_boxes;
};
