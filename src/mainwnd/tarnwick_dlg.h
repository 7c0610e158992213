#pragma once

#include "framework/animate_ctrl.h"
#include "framework/dialog.h"
#include "framework/gdi.h"
#include "framework/handles.h"
#include "framework/list_ctrl.h"
#include "framework/menu.h"
#include "framework/worker_thread.h"
#include "mainwnd/check_retry_policy.h"
#include "settings/account.h"
#include "settings/configuration.h"
#include "tray/tray_notify_icon.h"

#include <atomic>
#include <memory>
#include <string>

class CShowDialog;
class Messages;
namespace net {
class CancelSignal;
}

// The message count shown by the last UpdateMailState; the new-mail sound compares with it.
extern int g_lastAnnouncedCount;

// The main window: the list of waiting messages, the status line, the buttons, the tray
// icon and its menu. It runs the periodic check on a worker thread and everything else on
// its own thread. Closing it ends the program; hiding it leaves the program in the tray.
class CTarnwickDlg : public CDialog {
public:
    explicit CTarnwickDlg(HWND parent = nullptr);
    ~CTarnwickDlg() override;

    // Started at logon or by setup: the window stays hidden until the user opens it.
    void SetStartInTray(bool inTray) { m_startInTray = inTray; }

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
    // The deletion menu at a screen point (the cursor for a right-click, the row for the
    // keyboard).
    void OnListRightClick();
    void OnListRightClick(POINT at);
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

    // The end of every job of the worker, a check or a deletion.
    LRESULT OnCheckDone();
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    // The failure display of a check: checking off, the reason, the disabled state.
    // After a check refused the server's certificate: asks whether to trust it, and when the
    // user says yes, stores its fingerprint and checks again. False when it did not ask or
    // the user said no.
    bool OfferToTrustCertificate();
    void ReportCheckFailure(const std::string& reason);
    // Shows the rows that belong to the count on show; refills only when `changed` or the
    // number of rows differs from what the list shows.
    void FillList(bool changed);
    int RowsToShow() const;
    std::string RowText(int row, int column) const;

    // What the worker works on: copies, so that nothing the window shows changes under it.
    // Shared with the worker, so that a worker let go at the end of the program still owns
    // what it uses. Handed back with WM_CHECK_DONE.
    struct Job {
        enum Kind { Check, Delete } kind = Check;
        Account account;
        std::unique_ptr<Messages> list; // a check: compared with, then the result
        int message = 0;                // a deletion: the number and unique id confirmed
        std::string uid;
        bool deleted = false;
        std::shared_ptr<net::CancelSignal> cancel;
        std::atomic<bool> done{false};
    };
    // Starts a job on the worker with the busy display; false (and nothing started) while
    // another job is held.
    bool StartJob(const std::shared_ptr<Job>& job);
    void StartDeletion(int message, const std::string& uid);
    LRESULT FinishCheck(Job& job);
    void FinishDeletion(const Job& job);
    // After a job that brought no new outcome: the title, tip and icon of the current state.
    void ShowIdleState();

    // No mailbox configured: nothing to check, and the way on is the configuration.
    bool IsSetUp() const;
    void ShowNotSetUp();

    // A question, a menu or a sheet is open over the window. Timer ticks and the end of a
    // job wait until the last one closes; commands that start work are refused meanwhile.
    class ModalScope {
    public:
        explicit ModalScope(CTarnwickDlg& dlg);
        ~ModalScope();
        ModalScope(const ModalScope&) = delete;
        ModalScope& operator=(const ModalScope&) = delete;

    private:
        CTarnwickDlg& m_dlg;
    };
    int Ask(const std::string& text, const std::string& caption, UINT flags);
    // The same, captioned with the program's name.
    int Tell(const std::string& text, UINT flags);
    bool CanStartWork() const { return m_modalDepth == 0 && !m_exiting; }
    void UpdateTrayCommands();
    void OnCheckTick();
    void OnResumeWork();

    // Exit: the running job is cancelled, the window and the tray icon go at once, the
    // settings are saved, and what is open over the window is closed.
    void BeginExit();
    void CloseOpenBoxes();
    void StopWorker();

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

    std::shared_ptr<Job> m_job;
    CWorkerThread m_worker;
    CTimer m_checkTimer;
    CTimer m_updateTimer;
    CTimer m_retryTimer;
    CTimer m_exitTimer;
    CheckRetryPolicy m_retry;

    int m_modalDepth = 0;
    int m_exitPolls = 0;
    // The tray menu is a modal moment too, but its own commands must stay offered in it.
    bool m_trayMenuOpen = false;
    bool m_tickPending = false;
    bool m_updatePending = false;
    bool m_exiting = false;
    // Counts the checks that ended, so that a deletion confirmed over an older list is not run.
    unsigned m_listGeneration = 0;
    // The next check builds the list afresh (the account was changed in the sheet).
    bool m_listStale = false;
    // How often the list was given new rows.
    int m_refills = 0;
    bool m_startInTray = false;
};
