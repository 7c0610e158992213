#pragma once

#include "framework/animate_ctrl.h"
#include "framework/dialog.h"
#include "framework/gdi.h"
#include "framework/handles.h"
#include "framework/list_ctrl.h"
#include "framework/menu.h"
#include "framework/worker_thread.h"
#include "mainwnd/resume_grace.h"
#include "settings/account.h"
#include "settings/configuration.h"
#include "tray/tray_notify_icon.h"

#include <memory>
#include <string>

class CShowDialog;
class Messages;

// The message count shown by the last UpdateMailState; the new-mail sound compares with it.
extern int g_lastAnnouncedCount;

// The main window: the list of waiting messages, the status line, the buttons, the tray
// icon and its menu. It runs the periodic check on a worker thread and everything else on
// its own thread. Closing it ends the program; hiding it leaves the program in the tray.
class CTarnwickDlg : public CDialog {
public:
    explicit CTarnwickDlg(HWND parent = nullptr);
    ~CTarnwickDlg() override;

    void StartCheck();
    void OnConfigure();
    void ToggleEnabled();
    void UpdateEnabledState();
    void UpdateMailState();
    // The balloon of new mail: the count, and the newest message's sender and subject.
    void ShowNewMailNotice(int count);
    void UpdateBusyState();
    void RunFirstTimeSetup();
    void SetupColumns();
    void ShowSummary();
    void ClosePopup();
    void OnListRightClick();
    void DeleteSelectedMessage();
    void LaunchEmailClient();
    // The "?" button and the ten-minute timer; the about box and the update check plug in here.
    void OnAboutButton();
    void RunScheduledUpdateCheck();
    // F1: the user guide beside the program.
    void OpenHelp();

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void DoDataExchange(CDataExchange* dx) override;
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    bool OnNotify(NMHDR* header, LRESULT* result) override;
    void OnTimer(UINT_PTR id) override;
    void OnClose() override;
    void OnPaint() override;
    void OnDestroy() override;

    LRESULT OnCheckDone();
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    // The failure display of a check: checking off, the reason, the disabled state.
    // After a check refused the server's certificate: asks whether to trust it, and when the
    // user says yes, stores its fingerprint and checks again. False when it did not ask or
    // the user said no.
    bool OfferToTrustCertificate();
    void ReportCheckFailure(const std::string& reason);
    void FillList();

    CListCtrl m_list;
    CAnimateCtrl m_animate;
    std::string m_statusText;
    CIcon m_iconNoMail;
    CIcon m_iconMail;
    CIcon m_iconDisabled;
    CIcon m_animFrames[4];
    CIcon m_hIcon;
    CIcon m_hSmallIcon;
    CBitmap m_infoBitmap;
    Account m_account;
    std::unique_ptr<Messages> m_messages;
    std::unique_ptr<CShowDialog> m_popup;
    POINT m_popupPos = {0, 0};
    CTrayNotifyIcon m_trayIcon;
    int m_enabled = 1;
    int m_busy = 0;
    CMenu m_trayMenu;
    CConfiguration m_config;

    // What the worker checks into: copies, so that nothing the window shows changes under
    // it. Handed back with WM_CHECK_DONE.
    struct CheckJob {
        Account account;
        std::unique_ptr<Messages> list;
    };
    std::unique_ptr<CheckJob> m_job;
    CWorkerThread m_worker;
    CTimer m_checkTimer;
    CTimer m_updateTimer;
    ResumeGrace m_resume;
    CTimer m_resumeTimer;
};
