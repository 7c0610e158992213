#!/usr/bin/env bash
# The packages as a user meets them, under Wine with a display (the program needs the
# notification area): make dist; a silent install; a second install over the running
# program, which must end it, keep its settings and start it again; a silent uninstall,
# which keeps the profile; the portable zip, which must write nothing to %APPDATA%.
# Arguments: the architecture (x86_64 or i686) and the instance_probe.exe of that build.
set -uo pipefail
arch=$1
probe=$2
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
. "$here/wine-env.sh"
wine_commands
. "$here/expect.sh"
# Shortcuts made under Wine must not become menu entries of the machine's own desktop.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-};winemenubuilder.exe=d"

"$here/dist.sh" >/dev/null || { echo "FAILED: make dist"; exit 1; }
part() { awk -v name="TARNWICK_VERSION_$1" '$1 == "#define" && $2 == name {print $3}' "$root/src/res/version.h"; }
version="$(part MAJOR).$(part MINOR).$(part PATCH)"
dist="$root/build/dist"
for a in i686 x86_64; do
    for kind in setup.exe portable.zip; do
        expect "make dist made tarnwick-$version-$a-$kind" "[ -s '$dist/tarnwick-$version-$a-$kind' ]"
    done
done
setup="$dist/tarnwick-$version-$arch-setup.exe"

unix_path() { winepath -u "$(wine cmd /c echo "$1" | tr -d '\r')" 2>/dev/null; }
local_appdata=$(unix_path '%LOCALAPPDATA%')
appdata=$(unix_path '%APPDATA%')
install_dir="$local_appdata/Programs/Tarnwick"
install_win='%LOCALAPPDATA%\Programs\Tarnwick'
shortcut="$appdata/Microsoft/Windows/Start Menu/Programs/Tarnwick.lnk"
profile="$appdata/Tarnwick/tarnwick.ini"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnwick'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
[ -n "$local_appdata" ] && [ -n "$appdata" ] || { echo "FAILED: the prefix's folders"; exit 1; }

# A value of the uninstall entry, as `reg query` shows it: "    Name    REG_SZ    value".
reg_value() { # key name
    wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        awk -v name="$2" '$1 == name {sub(/^ *[^ ]+ +[^ ]+ +/, ""); print; exit}'
}
running_pid() { wine "$probe" wait "$1" 2>/dev/null | tr -d '\r'; }
started=()
start_program() { # unix path of tarnwick.exe
    wine "$1" >/dev/null 2>&1 &
    started+=($!)
}
cleanup() {
    wine "$probe" close 15 >/dev/null 2>&1
    # A Run entry left by a failed run would start Tarnwick with every later Wine session.
    wine reg delete "$run_key" /v Tarnwick /f >/dev/null 2>&1
    for pid in "${started[@]}"; do wait "$pid" 2>/dev/null; done
}
trap cleanup EXIT

# A clean user: no earlier install, a profile with the first run done and no check at start.
wine "$probe" close 15 >/dev/null 2>&1
[ -x "$install_dir/uninstall.exe" ] && wine "$install_dir/uninstall.exe" /S
rm -rf "$install_dir" "$appdata/Tarnwick" "$shortcut"
wine reg delete "$uninstall_key" /f >/dev/null 2>&1
wine reg delete "$run_key" /v Tarnwick /f >/dev/null 2>&1
mkdir -p "$appdata/Tarnwick"
settings=$'[Notification]\r\nCheckMailOnStartup=0\r\nFirstTime=0\r\nInterval=7\r\n[MailSettings]\r\nMail server=127.0.0.1:1\r\nUser name=ann\r\n[AutoUpdate]\r\nCurrentVersion=106\r\n'
printf '%s' "$settings" >"$profile"

# ---- a silent install --------------------------------------------------------------------
wine "$setup" /S
for f in tarnwick.exe tarnwick-check.exe tarnwick.html GotMail.wav licence.txt uninstall.exe; do
    expect "installed $f" "[ -s '$install_dir/$f' ]"
done
expect "a Start menu shortcut" "[ -s '$shortcut' ]"
run_value=$(reg_value "$run_key" Tarnwick)
expect "the Run entry starts the installed program in the tray" "[[ '$run_value' == *'\\Programs\\Tarnwick\\tarnwick.exe\" /tray' ]]"
expect "DisplayName" "[ '$(reg_value "$uninstall_key" DisplayName)' = Tarnwick ]"
expect "DisplayVersion is the program's version" "[ '$(reg_value "$uninstall_key" DisplayVersion)' = '$version' ]"
expect "Publisher" "[ '$(reg_value "$uninstall_key" Publisher)' = 'Tarnwick Software' ]"
expect "DisplayIcon is the program" "[[ '$(reg_value "$uninstall_key" DisplayIcon)' == *'\\tarnwick.exe,0' ]]"
expect "UninstallString" "[[ '$(reg_value "$uninstall_key" UninstallString)' == *'\\Tarnwick\\uninstall.exe\"' ]]"
expect "QuietUninstallString is silent" "[[ '$(reg_value "$uninstall_key" QuietUninstallString)' == *'\\uninstall.exe\" /S' ]]"
size=$(reg_value "$uninstall_key" EstimatedSize)
expect "EstimatedSize, in KB, about the files' size" "[ \$(( $size )) -gt 500 ] && [ \$(( $size )) -lt 50000 ]"

# ---- installing over a running Tarnwick --------------------------------------------------
start_program "$install_dir/tarnwick.exe"
first=$(running_pid 30)
expect "the installed program runs" "[ -n '$first' ]"
# Taken away while it runs: only its save on the way out can bring the section back.
printf '[MailSettings]\r\nMail server=127.0.0.1:1\r\nUser name=ann\r\n[AutoUpdate]\r\nCurrentVersion=106\r\n' >"$profile"
wine "$setup" /S
second=$(running_pid 30)
expect "setup started Tarnwick again" "[ -n '$second' ] && [ '$second' != '$first' ]"
expect "the program saved its settings when setup asked it to end" "grep -q '^Interval=7' '$profile'"
expect "the account settings were kept" "grep -q '^Mail server=127.0.0.1:1' '$profile'"

# ---- a silent uninstall ------------------------------------------------------------------
# The uninstaller copies itself to the temporary folder and returns at once.
wine "$install_dir/uninstall.exe" /S
for _ in $(seq 300); do
    [ -e "$install_dir" ] || break
    sleep 0.1
done
expect "the program folder is gone" "[ ! -e '$install_dir' ]"
expect "the running Tarnwick was ended" "[ -z \"\$(running_pid 0)\" ]"
expect "the shortcut is gone" "[ ! -e '$shortcut' ]"
expect "the Run entry is gone" "[ -z '$(reg_value "$run_key" Tarnwick)' ]"
expect "the uninstall entry is gone" "! wine reg query '$uninstall_key' >/dev/null 2>&1"
expect "the profile is kept" "grep -q '^User name=ann' '$profile'"

# ---- the portable zip --------------------------------------------------------------------
portable=$(mktemp -d "$root/build/portable-test.XXXXXX")
rm -rf "$appdata/Tarnwick"
unzip -q "$dist/tarnwick-$version-$arch-portable.zip" -d "$portable"
expect "the zip holds the program's files and portable.ini" \
    "[ \$(ls '$portable/Tarnwick' | grep -cxE 'tarnwick.exe|tarnwick-check.exe|tarnwick.html|GotMail.wav|licence.txt|portable.ini') -eq 6 ]"
printf '%s' "$settings" >>"$portable/Tarnwick/portable.ini"
sed -i 's/^Interval=7/Interval=9/' "$portable/Tarnwick/portable.ini"
pushd "$portable/Tarnwick" >/dev/null
start_program ./tarnwick.exe
popd >/dev/null
expect "the portable program runs" "[ -n '$(running_pid 30)' ]"
expect "it ends when asked" "wine '$probe' close 15"
expect "nothing was written to %APPDATA%" "[ ! -e '$appdata/Tarnwick' ]"
expect "its settings were saved beside it" "grep -q '^Interval=9' '$portable/Tarnwick/portable.ini'"
rm -rf "$portable"

expect_report
