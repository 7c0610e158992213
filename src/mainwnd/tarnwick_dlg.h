#pragma once

#include "framework/animate_ctrl.h"
#include "framework/dialog.h"
#include "framework/gdi.h"
#include "framework/handles.h"
#include "framework/list_ctrl.h"
#include "framework/menu.h"
#include "framework/worker_thread.h"
#include "cycle/check_cycle.h"
#include "settings/account.h"
#include "settings/configuration.h"
#include "tray/tray_notify_icon.h"
#include "update/update_check.h"

#include <memory>
#include <string>

class CShowDialog;

// The main window: the list of waiting messages, the status line, the buttons, the tray
// icon and its menu. The check cycle decides; the window routes its messages to it, runs its
// jobs on a worker thread and shows what it says. Closing the window ends the program;
// hiding it leaves the program in the tray.
class CTarnwickDlg : public CDialog, private cycle::CheckHost {
public:
    explicit CTarnwickDlg(HWND parent = nullptr);
    ~CTarnwickDlg() override;

    // Started at logon or by setup: the window stays hidden until the user opens it.
    void SetStartInTray(bool inTray) { m_startInTray = inTray; }
    void OnConfigure();
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
    // WM_UPDATE_DONE, and again once no box is open over the window.
    void OnUpdateDone();
    // F1: the user guide beside the program.
    void OpenHelp();

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    // Esc: leaves as Exit does.
    void OnCancel() override;
    void DoDataExchange(CDataExchange* dx) override;
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    bool OnNotify(NMHDR* header, LRESULT* result) override;
    void OnTimer(UINT_PTR id) override;
    void OnClose() override;
    void OnPaint() override;
    void OnDestroy() override;

    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    // Shows the rows that belong to the count on show; refills only when `changed` or the
    // number of rows differs from what the list shows.
    void FillList(bool changed);
    std::string RowText(int row, int column) const;

    // What the check cycle asks of the window.
    bool StartJob(std::shared_ptr<CheckJob> job) override;
    void ShowState(const cycle::Display& display) override;
    void ShowList(bool changed) override;
    bool Ask(const std::string& text) override;
    void Tell(cycle::Box kind, const std::string& text) override;
    bool SetTimer(cycle::Timer timer, std::uint64_t ms) override;
    void AnnounceNewMail(const std::string& title, const std::string& text) override;
    void NoticeOutage(const std::string& title, const std::string& text) override;
    void WakeLater() override;

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
    bool CanStartWork() const { return m_cycle.CanStartWork(); }
    void UpdateTrayCommands();
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
    CIcon m_iconRetrying;
    CIcon m_animFrames[4];
    CIcon m_hIcon;
    CIcon m_hSmallIcon;
    CBitmap m_infoBitmap;
    std::unique_ptr<CShowDialog> m_popup;
    POINT m_popupPos = {0, 0};
    CTrayNotifyIcon m_trayIcon;
    CMenu m_trayMenu;
    CConfiguration m_config;

    cycle::SystemClock m_clock;
    cycle::CheckCycle m_cycle{*this, m_clock};
    CWorkerThread m_worker;
    CTimer m_checkTimer;
    CTimer m_updateTimer;
    CTimer m_retryTimer;
    CTimer m_exitTimer;
    CUpdateCheckRunner m_updateCheck;

    int m_exitPolls = 0;
    // The tray menu is a modal moment too, but its own commands must stay offered in it.
    bool m_trayMenuOpen = false;
    bool m_updatePending = false;
    // How often the list was given new rows.
    int m_refills = 0;
    bool m_startInTray = false;
};
