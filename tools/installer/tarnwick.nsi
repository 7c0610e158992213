; Tarnwick's setup program. Made by tools/dist.sh, which defines:
;   VERSION  the program's version text (from src/res/version.h)
;   ARCH     i686 or x86_64
;   FILES    the folder holding tarnwick.exe, tarnwick-check.exe, tarnwick.html, GotMail.wav
;            and licence.txt
;   OUTFILE  the setup program to write
;   ICON     Tarnwick's own icon (tarnwick.ico, drawn by the build), for setup and uninstaller
;   WIZARD   the side picture of the first and last pages (wizard.bmp, drawn by the build)
;
; Installs for the current user only, without administrator rights, under
; %LOCALAPPDATA%\Programs\Tarnwick. The profile (%APPDATA%\Tarnwick) is never touched, so an
; upgrade keeps the settings and an uninstall leaves them for a later install.

Unicode true
!if "${ARCH}" == "x86_64"
    Target amd64-unicode
!else
    Target x86-unicode
!endif
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "WinMessages.nsh"
!include "Sections.nsh"

!define PRODUCT "Tarnwick"
!define PUBLISHER "Tarnwick Software"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnwick"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The running program's hidden window, which passes WM_CLOSE on to the main window.
!define INSTANCE_CLASS "TarnwickInstance"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tarnwick"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (c) 2004 ${PUBLISHER}"

Var WasRunning

!define MUI_ABORTWARNING
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${WIZARD}"
!define MUI_UNWELCOMEFINISHPAGE_BITMAP "${WIZARD}"
; The descriptions below the list, so that the list has the page's width for the names.
!define MUI_COMPONENTSPAGE_SMALLDESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\tarnwick.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Tarnwick now"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${FILES}\licence.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "Tarnwick has been removed from your computer.$\r$\n$\r$\nYour settings are kept in %APPDATA%\Tarnwick, so that a later install finds them. Delete that folder to remove them too."
!insertmacro MUI_UNPAGE_FINISH
!insertmacro MUI_LANGUAGE "English"

; Asks a running Tarnwick to end (it saves its settings as on "Exit") and waits up to 10 s
; for it to go, so that its files can be replaced. One that does not go stops setup before it
; touches a file: the user may close it and retry (silent mode gives up). Sets $0 to 1 when
; one was running.
!macro CloseRunningTarnwick
    StrCpy $0 0
    ${Do}
        FindWindow $1 "${INSTANCE_CLASS}"
        ${If} $1 = 0
            ${ExitDo}
        ${EndIf}
        StrCpy $0 1
        SendMessage $1 ${WM_CLOSE} 0 0 /TIMEOUT=5000
        StrCpy $2 0
        ${Do}
            Sleep 100
            IntOp $2 $2 + 1
            FindWindow $1 "${INSTANCE_CLASS}"
            ${If} $1 = 0
            ${OrIf} $2 >= 100
                ${ExitDo}
            ${EndIf}
        ${Loop}
        ${If} $1 = 0
            ; The window goes a moment before the process has let go of its files.
            Sleep 500
            ${ExitDo}
        ${EndIf}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Tarnwick does not end. Close it, then choose Retry." /SD IDCANCEL IDRETRY +2
        Abort
    ${Loop}
!macroend

Section "Tarnwick" SecProgram
    SectionIn RO
    !insertmacro CloseRunningTarnwick
    StrCpy $WasRunning $0

    SetOutPath "$INSTDIR"
    File "${FILES}\tarnwick.exe"
    File "${FILES}\tarnwick-check.exe"
    File "${FILES}\tarnwick.html"
    File "${FILES}\GotMail.wav"
    File "${FILES}\licence.txt"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateShortCut "$SMPROGRAMS\Tarnwick.lnk" "$INSTDIR\tarnwick.exe" "" "$INSTDIR\tarnwick.exe" 0

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tarnwick.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; "/tray": started at logon, Tarnwick goes to the notification area without showing its window.
Section "Start Tarnwick at logon" SecRun
    WriteRegStr HKCU "${RUN_KEY}" "Tarnwick" '"$INSTDIR\tarnwick.exe" /tray'
SectionEnd

; Unticked on an upgrade: the entry an earlier install made goes.
Section "-RunOff"
    ${IfNot} ${SectionIsSelected} ${SecRun}
        DeleteRegValue HKCU "${RUN_KEY}" "Tarnwick"
    ${EndIf}
SectionEnd

; Runs after every section: a Tarnwick that setup ended comes back, also in silent mode, in
; the tray as it was.
Section "-Restart"
    ${If} $WasRunning = 1
        Exec '"$INSTDIR\tarnwick.exe" /tray'
    ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "The program, its command-line checker, the user guide and the new-mail sound."
    !insertmacro MUI_DESCRIPTION_TEXT ${SecRun} "Tarnwick starts in the notification area each time you log on."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
    ; The Run entry follows the user's earlier choice on an upgrade; it is on for a new install.
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "DisplayName"
    ${If} $0 != ""
        ReadRegStr $0 HKCU "${RUN_KEY}" "Tarnwick"
        ${If} $0 == ""
            SectionSetFlags ${SecRun} 0
        ${EndIf}
    ${EndIf}
FunctionEnd

Section "Uninstall"
    !insertmacro CloseRunningTarnwick
    Delete "$INSTDIR\tarnwick.exe"
    Delete "$INSTDIR\tarnwick-check.exe"
    Delete "$INSTDIR\tarnwick.html"
    Delete "$INSTDIR\GotMail.wav"
    Delete "$INSTDIR\licence.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Tarnwick.lnk"
    DeleteRegValue HKCU "${RUN_KEY}" "Tarnwick"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
