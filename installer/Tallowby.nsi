; The installer of Quenmark Save Attachments: the add-in's DLLs of both architectures, for the current
; user alone (the default: no administrator rights, files under the user's local application data,
; registered per user with regsvr32 /n /i:user) or for every user of the computer (administrator:
; files under Program Files, registered machine-wide with regsvr32 /n /i:machine, each architecture
; in its own registry view, the add-in entry in the machine's list). Built by scripts/package.sh:
;   makensis -DVERSION=<x.y.z> -DX86_DIR=<i686 DLLs> -DX64_DIR=<x86_64 DLLs> -DOUTFILE=<exe> Tallowby.nsi
; With -DX64_ONLY it is built as a 64-bit program carrying the x86_64 DLLs alone: the form in which
; its test runs on machines that run no 32-bit program. With -DSIGN_UNINSTALLER=<command> the
; uninstaller it writes is signed by `<command> <file>` while it is built.
; Command line: /S silent (install and uninstall), /ALLUSERS for every user (else the page asks; a
; silent install without it is for the current user).
; Exit codes: 0 done, 1 cancelled by the user, 2 refused or failed (a file in use, registration, no
; administrator rights for all users, the other kind of installation present).
; One kind of installation at a time: a per-user install is refused where the add-in is installed
; for every user (by this installer, its Windows Installer package or by hand), an all-users install
; where the current user has it for themselves or another installer put it there for every user.
; Converting one into the other would need rights or reach (other users' own installations) that the
; installer does not have; the refusal says what to remove first.

!macro Require name
  !ifndef ${name}
    !error "define ${name} (see the head of this file)"
  !endif
!macroend
!insertmacro Require VERSION
!insertmacro Require X64_DIR
!insertmacro Require OUTFILE
!ifdef X64_ONLY
  Target amd64-unicode
!else
  !insertmacro Require X86_DIR
  Unicode true
!endif
!ifdef SIGN_UNINSTALLER
  !uninstfinalize '${SIGN_UNINSTALLER} "%1"' = 0
!endif

!define PRODUCT "Quenmark Save Attachments"
!define COMPANY "Quenmark"
; The list of programs (Programs and Features, Add or Remove Programs): the user's or the machine's.
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QuenmarkSaveAttachments"
; The host's add-in entry for every user, as regsvr32 /n /i:machine writes it (each registry view).
!define MACHINE_ADDIN_KEY "Software\Microsoft\Office\Outlook\Addins\Tallowby.Connect"
; Where the add-in keeps its one preference, per user (removed with a per-user installation).
!define SETTINGS_PARENT "Software\VB and VBA Program Settings"
!define SETTINGS_KEY "${SETTINGS_PARENT}\${PRODUCT}"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\${PRODUCT}"
; Administrator rights only for all users: the page or /ALLUSERS asks for them, never the manifest.
RequestExecutionLevel user
SetCompressor /SOLID lzma
ManifestSupportedOS all
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COMPANY}"

!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include MUI2.nsh
!include nsDialogs.nsh

; "1" when installing (or removing) for every user, "" for the current user alone.
Var AllUsers
; user or machine: the DllInstall scope regsvr32 /n /i: names.
Var Scope
Var ForMeRadio
Var ForAllRadio

!define MUI_WELCOMEPAGE_TEXT "This installs ${PRODUCT} ${VERSION}, for you alone (no administrator rights needed) or for every user of this computer.$\r$\n$\r$\nClose Outlook before you continue. The add-in appears in Outlook the next time it starts: a $\"Save Attachments$\" button in every message window."
!insertmacro MUI_PAGE_WELCOME
Page custom ModePage ModePageLeave
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "${PRODUCT} is installed. Start Outlook and open a message with attachments to use it.$\r$\n$\r$\nTo remove it, use Programs and Features (Add or Remove Programs)."
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The machine's registry view of the 64-bit programs where there is one (64-bit Windows), so that the
; 32-bit installer writes and reads the same uninstall entry as its 64-bit form. Windows 2000 knows no
; views at all.
!macro NativeRegView
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
!macroend

; $0: the DLL found in use, or "".
!macro ProbeInUse file
  ${If} $0 == ""
  ${AndIf} ${FileExists} "${file}"
    ; A DLL a running program has loaded cannot be opened for writing.
    ClearErrors
    FileOpen $1 "${file}" a
    ${If} ${Errors}
      StrCpy $0 "${file}"
    ${Else}
      FileClose $1
    ${EndIf}
  ${EndIf}
!macroend

; $0: the reason why the installation in $INSTDIR cannot be replaced or removed now, or "".
!macro InUseReason un
Function ${un}InUseReason
  StrCpy $0 ""
  !insertmacro ProbeInUse "$INSTDIR\x86\Tallowby.dll"
  !insertmacro ProbeInUse "$INSTDIR\x86\TallowbyPage.dll"
  !insertmacro ProbeInUse "$INSTDIR\x64\Tallowby.dll"
  !insertmacro ProbeInUse "$INSTDIR\x64\TallowbyPage.dll"
  ${If} $0 != ""
    StrCpy $0 "${PRODUCT} is in use: Outlook (or another program) has loaded$\r$\n$0$\r$\nso it cannot be replaced or removed.$\r$\n$\r$\nClose Outlook and try again."
  ${EndIf}
FunctionEnd
!macroend
!insertmacro InUseReason ""
!insertmacro InUseReason "un."

; $1: "1" when this account runs with administrator rights (elevated, where Windows has UAC).
!macro IsAdmin un
Function ${un}IsAdmin
  UserInfo::GetAccountType
  Pop $1
  ${If} $1 == "Admin"
    StrCpy $1 1
  ${Else}
    StrCpy $1 ""
  ${EndIf}
FunctionEnd
!macroend
!insertmacro IsAdmin ""
!insertmacro IsAdmin "un."

; Refuses with `reason` and exit code 2: in silent mode (and from .onInit) by quitting, on the page by
; staying there.
!macro Refuse reason quit
  MessageBox MB_OK|MB_ICONSTOP "${reason}" /SD IDOK
  !if "${quit}" == "quit"
    SetErrorLevel 2
    Quit
  !else
    Abort
  !endif
!macroend

; For the mode in $AllUsers: sets $INSTDIR, $Scope and the shell context; $0 is the reason why it
; cannot be installed that way now, or "". $1 is "admin" when the only reason is missing rights.
Function CheckMode
  StrCpy $0 ""
  StrCpy $1 ""
  ; The installations there are: the current user's, this installer's for every user, and an entry
  ; in the machine's add-in list (ours, the Windows Installer package's or regsvr32's).
  ReadRegStr $R2 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  !insertmacro NativeRegView
  ReadRegStr $R3 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $R5 HKLM "${UNINSTALL_KEY}" "DisplayVersion"
  StrCpy $R4 ""
  ClearErrors
  EnumRegValue $R6 HKLM "${MACHINE_ADDIN_KEY}" 0
  ${IfNot} ${Errors}
    StrCpy $R4 1
  ${EndIf}
  ${If} ${RunningX64}
    SetRegView 32
    ClearErrors
    EnumRegValue $R6 HKLM "${MACHINE_ADDIN_KEY}" 0
    ${IfNot} ${Errors}
      StrCpy $R4 1
    ${EndIf}
    SetRegView 64
  ${EndIf}

  ${If} $AllUsers == ""
    StrCpy $Scope user
    SetShellVarContext current
    ${If} $R3 != ""
    ${OrIf} $R4 != ""
      StrCpy $0 "${PRODUCT} is already installed for every user of this computer, so it is ready for you to use: it needs no installation of your own.$\r$\n$\r$\nTo update it, run this installer for all users, as an administrator."
      Return
    ${EndIf}
    StrCpy $INSTDIR "$LOCALAPPDATA\${PRODUCT}"
    ${If} $R2 != ""
      StrCpy $INSTDIR $R2
    ${EndIf}
  ${Else}
    StrCpy $Scope machine
    SetShellVarContext all
    ${If} $R2 != ""
      StrCpy $0 "${PRODUCT} is installed for you alone, in$\r$\n$R2$\r$\n$\r$\nRemove that installation first (Programs and Features), then install it for all users."
      Return
    ${EndIf}
    ${If} $R3 == ""
    ${AndIf} $R4 != ""
      StrCpy $0 "${PRODUCT} is already installed for every user of this computer by another installer: its Windows Installer package (.msi), or by hand.$\r$\n$\r$\nUpdate or remove it the way it was installed."
      Return
    ${EndIf}
    Call IsAdmin
    ${If} $1 != 1
      StrCpy $0 "Installing ${PRODUCT} for all users needs administrator rights.$\r$\n$\r$\nRun the installer as administrator, or install it for yourself alone."
      StrCpy $1 admin
      Return
    ${EndIf}
    StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
    ${If} $R3 != ""
      StrCpy $INSTDIR $R3
    ${EndIf}
  ${EndIf}
  Call InUseReason
  StrCpy $1 ""
FunctionEnd

Function .onInit
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/ALLUSERS" $R1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
  ${EndIf}
  ${If} ${Silent}
    ; For the current user unless /ALLUSERS says otherwise.
    Call CheckMode
    ${If} $0 != ""
      !insertmacro Refuse "$0" quit
    ${EndIf}
  ${Else}
    ; The page starts on the kind of installation there is.
    !insertmacro NativeRegView
    ReadRegStr $R1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $R1 != ""
      StrCpy $AllUsers 1
    ${EndIf}
  ${EndIf}
FunctionEnd

Function ModePage
  !insertmacro MUI_HEADER_TEXT "Who uses it" "Install ${PRODUCT} for you alone or for every user of this computer."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateRadioButton} 0 8u 100% 12u "Only for &me (no administrator rights needed)"
  Pop $ForMeRadio
  ${NSD_CreateLabel} 12u 22u 95% 20u "Into your local application data folder. Only your Outlook loads it."
  Pop $0
  ${NSD_CreateRadioButton} 0 52u 100% 12u "For &all users of this computer (administrator rights needed)"
  Pop $ForAllRadio
  ${NSD_CreateLabel} 12u 66u 95% 30u "Into Program Files. Every user's Outlook loads it, also an Outlook run as administrator, which does not see installations for one user."
  Pop $0
  ${If} $AllUsers == 1
    ${NSD_Check} $ForAllRadio
  ${Else}
    ${NSD_Check} $ForMeRadio
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function ModePageLeave
  ${NSD_GetState} $ForAllRadio $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $AllUsers 1
  ${Else}
    StrCpy $AllUsers ""
  ${EndIf}
  Call CheckMode
  ${If} $1 == admin
    ; Windows asks for the rights when the installer starts again, as administrator.
    MessageBox MB_YESNO|MB_ICONEXCLAMATION "Installing for all users needs administrator rights.$\r$\n$\r$\nStart the installer again as administrator?" IDNO stay
    ClearErrors
    ExecShell "runas" "$EXEPATH" "/ALLUSERS"
    ${IfNot} ${Errors}
      Quit
    ${EndIf}
    MessageBox MB_OK|MB_ICONSTOP "The installer could not be started as administrator."
    stay:
    Abort
  ${EndIf}
  ${If} $0 != ""
    !insertmacro Refuse "$0" stay
  ${EndIf}
FunctionEnd

; Runs the regsvr32 of one architecture on one DLL with `args`; $2 is its exit code (0: success).
!macro Regsvr32 arch args file
  !if "${arch}" == "x64"
    ; The 64-bit regsvr32 (from a 32-bit installer, System32 is the 32-bit folder unless redirection
    ; is off).
    ${DisableX64FSRedirection}
    ExecWait '"$WINDIR\System32\regsvr32.exe" /s ${args} "${file}"' $2
    ${EnableX64FSRedirection}
  !else
    ${If} ${RunningX64}
      ExecWait '"$WINDIR\SysWOW64\regsvr32.exe" /s ${args} "${file}"' $2
    ${Else}
      ExecWait '"$SYSDIR\regsvr32.exe" /s ${args} "${file}"' $2
    ${EndIf}
  !endif
  ${If} ${Errors}
    StrCpy $2 "not started"
  ${EndIf}
!macroend

; Registers one architecture's DLLs in $Scope; on failure removes what it registered, then $3 holds
; the reason.
!macro RegisterArch arch
  ${If} $3 == ""
    ClearErrors
    !insertmacro Regsvr32 ${arch} "/n /i:$Scope" "$INSTDIR\${arch}\Tallowby.dll"
    ${If} $2 != 0
      StrCpy $3 "${arch}\Tallowby.dll (regsvr32: $2)"
    ${Else}
      ClearErrors
      !insertmacro Regsvr32 ${arch} "/n /i:$Scope" "$INSTDIR\${arch}\TallowbyPage.dll"
      ${If} $2 != 0
        StrCpy $3 "${arch}\TallowbyPage.dll (regsvr32: $2)"
        !insertmacro Regsvr32 ${arch} "/u /n /i:$Scope" "$INSTDIR\${arch}\Tallowby.dll"
      ${EndIf}
    ${EndIf}
  ${EndIf}
!macroend

; Removes one architecture's registration in $Scope; $3 collects what could not be removed.
!macro UnregisterArch arch
  ${If} ${FileExists} "$INSTDIR\${arch}\Tallowby.dll"
    ClearErrors
    !insertmacro Regsvr32 ${arch} "/u /n /i:$Scope" "$INSTDIR\${arch}\TallowbyPage.dll"
    ${If} $2 != 0
      StrCpy $3 "$3 ${arch}\TallowbyPage.dll (regsvr32: $2)"
    ${EndIf}
    ClearErrors
    !insertmacro Regsvr32 ${arch} "/u /n /i:$Scope" "$INSTDIR\${arch}\Tallowby.dll"
    ${If} $2 != 0
      StrCpy $3 "$3 ${arch}\Tallowby.dll (regsvr32: $2)"
    ${EndIf}
  ${EndIf}
!macroend

Section "Install"
  StrCpy $3 ""
  !ifndef X64_ONLY
    SetOutPath "$INSTDIR\x86"
    File "${X86_DIR}\Tallowby.dll"
    File "${X86_DIR}\TallowbyPage.dll"
  !endif
  ${If} ${RunningX64}
    SetOutPath "$INSTDIR\x64"
    File "${X64_DIR}\Tallowby.dll"
    File "${X64_DIR}\TallowbyPage.dll"
  ${EndIf}
  SetOutPath "$INSTDIR"

  ; The same classes for each architecture, each in its own registry view: the Outlook of either
  ; bitness loads the matching DLL.
  !ifndef X64_ONLY
    !insertmacro RegisterArch x86
  !endif
  ${If} ${RunningX64}
    !insertmacro RegisterArch x64
    ${If} $3 != ""
      !ifndef X64_ONLY
        !insertmacro UnregisterArch x86
      !endif
    ${EndIf}
  ${EndIf}
  ${If} $3 != ""
    RMDir /r "$INSTDIR\x86"
    RMDir /r "$INSTDIR\x64"
    RMDir "$INSTDIR"
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} could not be registered for Outlook:$\r$\n$3$\r$\n$\r$\nNothing was installed." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}

  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; SHCTX: the user's list (HKCU) or, for all users, the machine's (HKLM) in the native view.
  ${If} $AllUsers == 1
    !insertmacro NativeRegView
  ${EndIf}
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  ; An installation for every user is the one the machine's list of programs names here.
  StrCpy $AllUsers ""
  StrCpy $Scope user
  !insertmacro NativeRegView
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  GetFullPathName $0 $0
  GetFullPathName $1 $INSTDIR
  ${If} $0 != ""
  ${AndIf} $0 == $1
    StrCpy $AllUsers 1
    StrCpy $Scope machine
    SetShellVarContext all
    Call un.IsAdmin
    ${If} $1 != 1
      ${IfNot} ${Silent}
        MessageBox MB_YESNO|MB_ICONEXCLAMATION "${PRODUCT} is installed for every user of this computer: removing it needs administrator rights.$\r$\n$\r$\nStart the uninstaller again as administrator?" IDNO refuse
        ClearErrors
        ExecShell "runas" "$INSTDIR\uninstall.exe"
        ${IfNot} ${Errors}
          Quit
        ${EndIf}
      ${EndIf}
      refuse:
      !insertmacro Refuse "Removing ${PRODUCT} for all users needs administrator rights: run the uninstaller as administrator." quit
    ${EndIf}
  ${EndIf}
  Call un.InUseReason
  ${If} $0 != ""
    !insertmacro Refuse "$0" quit
  ${EndIf}
FunctionEnd

Section "Uninstall"
  StrCpy $3 ""
  !insertmacro UnregisterArch x64
  !ifndef X64_ONLY
    !insertmacro UnregisterArch x86
  !endif
  ${If} $3 != ""
    ; Files stay while Outlook may still find them registered: run the uninstaller again.
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} could not be removed from Outlook's registration:$\r$\n$3$\r$\n$\r$\nNothing was removed." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  Delete "$INSTDIR\x86\Tallowby.dll"
  Delete "$INSTDIR\x86\TallowbyPage.dll"
  Delete "$INSTDIR\x64\Tallowby.dll"
  Delete "$INSTDIR\x64\TallowbyPage.dll"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR\x86"
  RMDir "$INSTDIR\x64"
  RMDir "$INSTDIR"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  ${If} $AllUsers == ""
    ; The add-in's stored preference goes with a per-user installation; the saved attachments are the
    ; user's and stay. Each user's own preference stays after an installation for every user: it is
    ; in their part of the registry, which the uninstaller does not reach.
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "${SETTINGS_PARENT}"
  ${EndIf}
SectionEnd
