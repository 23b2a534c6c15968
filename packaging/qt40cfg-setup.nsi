; The Windows installer of both programs, made by packaging/pack-windows:
;   makensis -DVERSION=X.Y.Z -DSTAGE=<folder> -DOUTFILE=<setup.exe> qt40cfg-setup.nsi
; <folder> holds qt40cfg.exe, qt40cfg-cli.exe, English.lng, Japanese.lng,
; README.txt and licences/*.txt.
;
; Per user by default, without administrator rights, into the user's programs
; folder (%LOCALAPPDATA%\Programs\QT40CFG) with the uninstall entry under
; HKCU. Run as administrator, it offers (or with /AllUsers takes) an install
; for all users into Program Files with the entry under HKLM. /S installs and
; uninstalls silently; the uninstaller keeps the user's settings unless its
; "Your settings" box is ticked or /RemoveSettings is given.

Unicode true
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma
; The installer asks for no rights it does not need: the default install
; writes only to the user's own folders and registry.
RequestExecutionLevel user

!ifndef VERSION | STAGE | OUTFILE
  !error "makensis -DVERSION=X.Y.Z -DSTAGE=<folder> -DOUTFILE=<setup.exe>"
!endif

!define PRODUCT "QT40CFG PC Configurator"
!define PUBLISHER "Orvale"
!define FOLDER "QT40CFG"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QT40CFG"
; Where the window program keeps the language, the last port and address.
!define SETTINGS_PARENT "Software\Orvale"
!define SETTINGS_KEY "${SETTINGS_PARENT}\qt40cfg"
!define ERROR_ELEVATION_REQUIRED 740
!define ERROR_SUCCESS_REBOOT_REQUIRED 3010

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
Icon "${__FILEDIR__}/qt40cfg.ico"
UninstallIcon "${__FILEDIR__}/qt40cfg.ico"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh
!include Sections.nsh

Var AllUsers      ; 1: for all users (Program Files, HKLM)
Var Admin         ; 1: the process runs with administrator rights
Var ModeAllUsers  ; the mode page's radio buttons
Var ModeCurrentUser

!define MUI_ICON "${__FILEDIR__}/qt40cfg.ico"
!define MUI_UNICON "${__FILEDIR__}/qt40cfg.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\qt40cfg.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT}"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!define MUI_UNCOMPONENTSPAGE_TEXT_TOP \
  "The program's files, its Start-menu shortcuts and its entry in Apps && features are removed. Tick the box below to remove your settings too."

Page custom ModePage ModePageLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE English

; ---------------------------------------------------------------- install

!macro SetMode ALL
  StrCpy $AllUsers ${ALL}
  ${If} $AllUsers == 1
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
!macroend

; The folder of an earlier install in this mode (an upgrade goes where it
; is), else the mode's programs folder.
Function DefaultFolder
  ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    StrCpy $INSTDIR $0
  ${ElseIf} $AllUsers == 1
    StrCpy $INSTDIR "$PROGRAMFILES64\${FOLDER}"
  ${Else}
    GetKnownFolderPath $0 {5CD7AEE2-2219-4A67-B85D-6C9CE15660CB}  ; FOLDERID_UserProgramFiles
    ${If} $0 == ""
      StrCpy $0 "$LOCALAPPDATA\Programs"
    ${EndIf}
    StrCpy $INSTDIR "$0\${FOLDER}"
  ${EndIf}
FunctionEnd

Function .onInit
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 == "Admin"
    StrCpy $Admin 1
  ${Else}
    StrCpy $Admin 0
  ${EndIf}
  !insertmacro SetMode 0
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/AllUsers" $2
  ${IfNot} ${Errors}
    ${If} $Admin != 1
      MessageBox MB_OK|MB_ICONSTOP \
        "An install for all users needs administrator rights: run the setup as administrator, or without /AllUsers to install for yourself." \
        /SD IDOK
      SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
      Quit
    ${EndIf}
    !insertmacro SetMode 1
  ${EndIf}
  ; /D=<folder> on the command line has set $INSTDIR already.
  ${If} $INSTDIR == ""
    Call DefaultFolder
  ${EndIf}
FunctionEnd

; Only an administrator chooses; everyone else installs for themselves.
Function ModePage
  ${If} $Admin != 1
    Abort
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "Choose Users" "For whom is ${PRODUCT} installed?"
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 24u \
    "${PRODUCT} can be installed for you alone (no administrator rights needed, updates too) or for everyone who uses this computer."
  Pop $0
  ${NSD_CreateRadioButton} 10u 32u -10u 12u "Only for &me (in my user folder)"
  Pop $ModeCurrentUser
  ${NSD_CreateRadioButton} 10u 50u -10u 12u "For &all users of this computer (Program Files)"
  Pop $ModeAllUsers
  ${If} $AllUsers == 1
    ${NSD_Check} $ModeAllUsers
  ${Else}
    ${NSD_Check} $ModeCurrentUser
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function ModePageLeave
  ${NSD_GetState} $ModeAllUsers $0
  ${If} $0 == ${BST_CHECKED}
    !insertmacro SetMode 1
  ${Else}
    !insertmacro SetMode 0
  ${EndIf}
  Call DefaultFolder
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  ; The language files stay beside the programs: they read them from there.
  File "${STAGE}/qt40cfg.exe"
  File "${STAGE}/qt40cfg-cli.exe"
  File "${STAGE}/English.lng"
  File "${STAGE}/Japanese.lng"
  File "${STAGE}/README.txt"
  SetOutPath "$INSTDIR\licences"
  File "${STAGE}/licences/*.txt"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The window program, and a console with the command-line tool on its
  ; PATH (the user's own PATH is left as it is).
  CreateDirectory "$SMPROGRAMS\${FOLDER}"
  CreateShortcut "$SMPROGRAMS\${FOLDER}\${PRODUCT}.lnk" "$INSTDIR\qt40cfg.exe" "" \
    "$INSTDIR\qt40cfg.exe" 0 SW_SHOWNORMAL "" "Configure a QT40 HART temperature transmitter"
  CreateShortcut "$SMPROGRAMS\${FOLDER}\QT40CFG Command Prompt.lnk" "$SYSDIR\cmd.exe" \
    '/k "cd /d "%USERPROFILE%" && set "PATH=$INSTDIR;%PATH%" && qt40cfg-cli --version && echo qt40cfg-cli --help lists the commands."' \
    "$INSTDIR\qt40cfg-cli.exe" 0 SW_SHOWNORMAL "" "A console with qt40cfg-cli on its PATH"

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} (QT40 HART temperature transmitter)"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\qt40cfg.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; -------------------------------------------------------------- uninstall

Section "-un.Program"
  ; File by file: anything the user put in the folder stays, and so does the
  ; folder then. A program still running is removed at the next restart.
  Delete /REBOOTOK "$INSTDIR\qt40cfg.exe"
  Delete /REBOOTOK "$INSTDIR\qt40cfg-cli.exe"
  Delete "$INSTDIR\English.lng"
  Delete "$INSTDIR\Japanese.lng"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\licences\*.txt"
  RMDir "$INSTDIR\licences"
  Delete "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"

  Delete "$SMPROGRAMS\${FOLDER}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${FOLDER}\QT40CFG Command Prompt.lnk"
  RMDir "$SMPROGRAMS\${FOLDER}"

  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  ${If} ${RebootFlag}
    DetailPrint "A program was still running: its files go at the next restart."
    SetErrorLevel ${ERROR_SUCCESS_REBOOT_REQUIRED}
  ${EndIf}
SectionEnd

Section /o "un.Your settings (language, last port and address)" SecSettings
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "${SETTINGS_PARENT}"
SectionEnd

; After the sections: it selects one by its index.
Function un.onInit
  ; An install for all users is the one whose folder HKLM's entry names.
  SetShellVarContext current
  StrCpy $AllUsers 0
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} $0 == $INSTDIR
    UserInfo::GetAccountType
    Pop $1
    ${If} $1 != "Admin"
      MessageBox MB_OK|MB_ICONSTOP \
        "${PRODUCT} was installed for all users: run its uninstaller as administrator." /SD IDOK
      SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
      Quit
    ${EndIf}
    SetShellVarContext all
    StrCpy $AllUsers 1
  ${EndIf}
  ${un.GetParameters} $1
  ClearErrors
  ${un.GetOptions} $1 "/RemoveSettings" $2
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecSettings}
  ${EndIf}
FunctionEnd
