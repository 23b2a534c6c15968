# shellcheck shell=bash disable=SC2154 # the variables are the run's
# The installer's steps of tests/wine/run, sourced by it (its wine_run, fail,
# out, win_path, $build, $work). Every step checks what the installer and
# uninstaller left behind, never only their exit codes: an installer Wine
# cannot start ends with 0 as well.

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\QT40CFG'
settings_key='HKCU\Software\Orvale\qt40cfg'
installed_files=(qt40cfg.exe qt40cfg-cli.exe English.lng Japanese.lng README.txt uninstall.exe
                 licences/README.txt licences/Qt.txt licences/LGPL-3.txt licences/GPL-3.txt
                 licences/pugixml.txt licences/fmt.txt licences/CLI11.txt
                 licences/MinGW-w64-runtime.txt licences/GCC-runtime.txt)
shortcuts=("QT40CFG PC Configurator.lnk" "QT40CFG Command Prompt.lnk")

win_env() {  # win_env NAME: the value of a Windows environment variable
    wine cmd /c "echo %$1%" </dev/null 2>/dev/null | tr -d '\r'
}

reg_value() {  # reg_value <key> <name>: one value of a registry key, or nothing
    wine reg query "$1" /v "$2" </dev/null 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$2 \{4\}REG_[A-Z_]* \{4\}//p"
}

reg_has() { wine reg query "$1" </dev/null >/dev/null 2>&1; }

# Where the per-user install goes, and the state before it: the prefix is
# kept between runs, so what a run that failed half-way left is removed and
# said; then the installer meets a user who never had the program.
install_fresh() {
    setup=$(ls "$build"/qt40cfg-setup-*-x64.exe 2>/dev/null | head -n 1)
    [ -n "$setup" ] || fail "no installer in $build (packaging/pack-windows makes it)"
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
    [ "$(basename "$setup")" = "qt40cfg-setup-$version-x64.exe" ] || fail "$setup is not of version $version"
    stage="$build/package/qt40cfg"
    win_installed="$(win_env LOCALAPPDATA)\\Programs\\QT40CFG"
    installed=$(winepath -u "$win_installed" 2>/dev/null)
    menu="$(winepath -u "$(win_env APPDATA)" 2>/dev/null)/Microsoft/Windows/Start Menu/Programs/QT40CFG"
    win_all="$(win_env ProgramW6432)\\QT40CFG"
    all_installed=$(winepath -u "$win_all" 2>/dev/null)
    all_menu="$(winepath -u "$(win_env ProgramData)" 2>/dev/null)/Microsoft/Windows/Start Menu/Programs/QT40CFG"
    if [ -z "$installed" ] || [ -z "$all_installed" ]; then fail "the prefix's folders are unknown"; fi
    local left=""
    reg_has "HKCU\\$uninstall_key" && left+=" the per-user entry,"
    reg_has "HKLM\\$uninstall_key" && left+=" the all-users entry,"
    for path in "$installed" "$menu" "$all_installed" "$all_menu"; do
        [ -e "$path" ] && left+=" $path,"
    done
    wine reg delete "HKCU\\$uninstall_key" /f >/dev/null 2>&1 || true
    wine reg delete "HKLM\\$uninstall_key" /f >/dev/null 2>&1 || true
    wine reg delete "$settings_key" /f >/dev/null 2>&1 || true
    rm -rf "$installed" "$menu" "$all_installed" "$all_menu"
    if [ -n "$left" ]; then echo "(an earlier run left${left%,}: removed)"; fi

    echo "== $(basename "$setup") /S: per user, no settings yet"
    local start=$SECONDS
    wine_run "$setup" /S || fail "the installer ended with $?"
    echo "installed in $((SECONDS - start)) s"
    check_installed HKCU "$installed" "$win_installed" "$menu"
    ! reg_has "HKLM\\$uninstall_key" || fail "a per-user install wrote an entry for all users"
}

check_installed() {  # check_installed <HKCU|HKLM> <folder> <its Windows name> <Start-menu folder>
    local root=$1 dir=$2 windir=$3 menudir=$4 file
    for file in "${installed_files[@]}"; do
        [ -s "$dir/$file" ] || fail "no $file in $dir"
    done
    local extra
    extra=$(cd "$dir" && find . -type f | sed 's:^\./::' | sort |
            comm -23 - <(printf '%s\n' "${installed_files[@]}" | sort))
    [ -z "$extra" ] || fail "files nobody asked for in $dir: $extra"
    for file in qt40cfg.exe qt40cfg-cli.exe English.lng Japanese.lng README.txt; do
        cmp -s "$dir/$file" "$stage/$file" || fail "the installed $file is not the packed one"
    done
    for file in "${shortcuts[@]}"; do
        [ -s "$menudir/$file" ] || fail "no Start-menu shortcut $file in $menudir"
    done
    local key="$root\\$uninstall_key"
    reg_has "$key" || fail "no uninstall entry under $key"
    check_value() {
        local got
        got=$(reg_value "$key" "$1")
        [ "$got" = "$2" ] || fail "$1 is '$got', not '$2'"
    }
    reg_value "$key" DisplayName | grep -q 'QT40' || fail "DisplayName does not name QT40"
    check_value DisplayVersion "$version"
    check_value Publisher Orvale
    check_value DisplayIcon "$windir\\qt40cfg.exe,0"
    check_value InstallLocation "$windir"
    check_value UninstallString "\"$windir\\uninstall.exe\""
    check_value QuietUninstallString "\"$windir\\uninstall.exe\" /S"
    echo "installed: ${#installed_files[@]} files in $windir, ${#shortcuts[@]} shortcuts, the entry under $root"
}

# Runs the entry's QuietUninstallString as Apps & features would. The
# uninstaller copies itself to the temp folder and returns at once: what it
# removes is awaited.
uninstall_quietly() {  # uninstall_quietly <HKCU|HKLM> <folder> <Start-menu folder> [options...]
    local root=$1 key="$1\\$uninstall_key" dir=$2 menudir=$3
    shift 3
    local quiet program options
    quiet=$(reg_value "$key" QuietUninstallString)
    program=${quiet#\"}
    program=${program%%\"*}
    options=${quiet##*\"}
    # shellcheck disable=SC2086 # the entry's options, word by word
    wine_run "$program" $options "$@" || fail "the uninstaller ended with $?"
    for _ in $(seq 600); do
        ! reg_has "$key" && [ ! -e "$dir" ] && [ ! -e "$menudir" ] && break
        sleep 0.1
    done
    [ ! -e "$dir" ] || fail "the uninstall left $(cd "$dir" && find . | tr '\n' ' ')"
    [ ! -e "$menudir" ] || fail "the uninstall left the Start-menu folder $menudir"
    ! reg_has "$key" || fail "the uninstall left the entry under $key"
    echo "uninstalled: no file, no shortcut, no entry under $root"
}

installer_steps() {
    echo "== The installed programs' icon"
    "$source_dir/packaging/make-icon" --check || fail "packaging/qt40cfg.ico is stale"
    for file in qt40cfg.exe qt40cfg-cli.exe; do
        wrestool -l --type=14 "$installed/$file" >"$work/resources" 2>/dev/null || true
        grep -q "name='IDI_ICON1'" "$work/resources" || fail "$file has no icon group"
        wrestool -x --type=14 "$installed/$file" >"$work/icon.ico" 2>/dev/null || true
        icotool -l "$work/icon.ico" >"$work/icon.sizes" 2>/dev/null || true
        icotool -l "$source_dir/packaging/qt40cfg.ico" | cmp -s - "$work/icon.sizes" \
            || fail "the icon in $file is not packaging/qt40cfg.ico"
    done
    echo "qt40cfg.exe and qt40cfg-cli.exe: the icon of packaging/qt40cfg.ico ($(wc -l <"$work/icon.sizes") sizes)"

    echo "== The installed qt40cfg-cli.exe --version, and through the console shortcut"
    wine_run "$installed/qt40cfg-cli.exe" --version >"$work/version" || fail "qt40cfg-cli --version"
    out version
    out version | grep -qx "qt40cfg-cli $version" || fail "the installed CLI is not version $version"
    # The shortcut's cmd /k command, run as a batch file: it must find the
    # CLI on the PATH it sets, from the user's folder.
    local args
    args=$(strings -el "$menu/QT40CFG Command Prompt.lnk" | grep '^/k "' | head -n 1)
    [ -n "$args" ] || fail "the console shortcut has no cmd /k command"
    args=${args#/k \"}
    printf '@echo off\r\n%s\r\n' "${args%\"}" >"$work/console.bat"
    wine_run cmd /c "$(win_path "$work/console.bat")" >"$work/console" 2>&1 || fail "the console shortcut's command"
    out console | grep -qx "qt40cfg-cli $version" || fail "the console shortcut did not run the CLI: $(out console)"
    echo "console shortcut: $(out console | head -n 1)"

    echo "== Upgrade: the installer again over an older version's entry"
    wine reg add "HKCU\\$uninstall_key" /v DisplayVersion /t REG_SZ /d 0.0.1 /f >/dev/null 2>&1
    printf 'an older README\r\n' >"$installed/README.txt"
    wine_run "$setup" /S || fail "the upgrade ended with $?"
    check_installed HKCU "$installed" "$win_installed" "$menu"
    [ "$(reg_value "$settings_key\\Settings" COMPort)" = "$com" ] || fail "the upgrade lost the user's settings"
    echo "upgraded: files replaced, version $version, the settings kept (COMPort $com)"

    if [ -n "${QT40_WINE_SHOTS:-}" ]; then
        # On a desktop of its own Wine draws the windows' frames itself: the
        # title bar with the program's icon, as the virtual display's
        # unmanaged windows have none.
        echo "== The installed program on a Wine desktop, photographed"
        # Marlett draws the frame's buttons.
        cp -f /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
        wine explorer /desktop=qt40cfg,820x620 "$win_installed\\qt40cfg.exe" --demo \
            </dev/null >/dev/null 2>&1 &
        local desktop_pid=$!
        sleep 15
        import -window root -crop 820x620+0+0 +repage "$QT40_WINE_SHOTS/windows-installed.png" \
            || fail "no screenshot"
        wine taskkill /f /im qt40cfg.exe >/dev/null 2>&1 || true
        wait "$desktop_pid" 2>/dev/null || true
        echo "$QT40_WINE_SHOTS/windows-installed.png"
    fi

    echo "== Silent uninstall"
    uninstall_quietly HKCU "$installed" "$menu"
    [ "$(reg_value "$settings_key\\Settings" COMPort)" = "$com" ] || fail "the uninstall removed the settings unasked"
    echo "the settings stay (COMPort $com)"

    echo "== Installed again, uninstalled with /RemoveSettings"
    wine_run "$setup" /S || fail "the second install ended with $?"
    check_installed HKCU "$installed" "$win_installed" "$menu"
    uninstall_quietly HKCU "$installed" "$menu" /RemoveSettings
    ! reg_has "$settings_key" || fail "/RemoveSettings left $settings_key"
    echo "the settings are gone"

    echo "== /AllUsers: Program Files, the entry under HKLM (Wine runs the setup as administrator)"
    wine_run "$setup" /S /AllUsers || fail "the all-users install ended with $?"
    check_installed HKLM "$all_installed" "$win_all" "$all_menu"
    ! reg_has "HKCU\\$uninstall_key" || fail "an all-users install wrote a per-user entry"
    uninstall_quietly HKLM "$all_installed" "$all_menu"
}
