; The installer of Quenmark Save Attachments: the add-in's DLLs of both architectures for the current
; user alone, registered per user (regsvr32 /n /i:user), with no administrator rights. Built by
; scripts/package.sh:
;   makensis -DVERSION=<x.y.z> -DX86_DIR=<i686 DLLs> -DX64_DIR=<x86_64 DLLs> -DOUTFILE=<exe> Tallowby.nsi
; With -DX64_ONLY it is built as a 64-bit program carrying the x86_64 DLLs alone: the form in which
; its test runs on machines that run no 32-bit program. Silent with /S (install and uninstall).
; Exit codes: 0 done, 1 cancelled by the user, 2 refused or failed (a file in use, registration).

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

!define PRODUCT "Quenmark Save Attachments"
!define COMPANY "Quenmark"
; The user's own list of programs (Programs and Features, Add or Remove Programs).
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QuenmarkSaveAttachments"
; Where the add-in keeps its one preference (removed with the program).
!define SETTINGS_PARENT "Software\VB and VBA Program Settings"
!define SETTINGS_KEY "${SETTINGS_PARENT}\${PRODUCT}"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\${PRODUCT}"
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

!define MUI_WELCOMEPAGE_TEXT "This installs ${PRODUCT} ${VERSION} for you alone: no administrator rights are needed.$\r$\n$\r$\nClose Outlook before you continue. The add-in appears in Outlook the next time it starts: a $\"Save Attachments$\" button in every message window."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "${PRODUCT} is installed. Start Outlook and open a message with attachments to use it.$\r$\n$\r$\nTo remove it, use Programs and Features (Add or Remove Programs)."
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

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

; Refuses, with the reason, when Outlook (or another program) holds one of the installed DLLs.
!macro RefuseWhenInUse un
Function ${un}RefuseWhenInUse
  StrCpy $0 ""
  !insertmacro ProbeInUse "$INSTDIR\x86\Tallowby.dll"
  !insertmacro ProbeInUse "$INSTDIR\x86\TallowbyPage.dll"
  !insertmacro ProbeInUse "$INSTDIR\x64\Tallowby.dll"
  !insertmacro ProbeInUse "$INSTDIR\x64\TallowbyPage.dll"
  ${If} $0 != ""
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} is in use: Outlook (or another program) has loaded$\r$\n$0$\r$\nso it cannot be replaced or removed.$\r$\n$\r$\nClose Outlook and try again." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd
!macroend
!insertmacro RefuseWhenInUse ""
!insertmacro RefuseWhenInUse "un."

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

; Registers one architecture's DLLs for the current user; on failure removes what it registered,
; then $3 holds the reason.
!macro RegisterArch arch
  ${If} $3 == ""
    ClearErrors
    !insertmacro Regsvr32 ${arch} "/n /i:user" "$INSTDIR\${arch}\Tallowby.dll"
    ${If} $2 != 0
      StrCpy $3 "${arch}\Tallowby.dll (regsvr32: $2)"
    ${Else}
      ClearErrors
      !insertmacro Regsvr32 ${arch} "/n /i:user" "$INSTDIR\${arch}\TallowbyPage.dll"
      ${If} $2 != 0
        StrCpy $3 "${arch}\TallowbyPage.dll (regsvr32: $2)"
        !insertmacro Regsvr32 ${arch} "/u /n /i:user" "$INSTDIR\${arch}\Tallowby.dll"
      ${EndIf}
    ${EndIf}
  ${EndIf}
!macroend

; Removes one architecture's per-user registration; $3 collects what could not be removed.
!macro UnregisterArch arch
  ${If} ${FileExists} "$INSTDIR\${arch}\Tallowby.dll"
    ClearErrors
    !insertmacro Regsvr32 ${arch} "/u /n /i:user" "$INSTDIR\${arch}\TallowbyPage.dll"
    ${If} $2 != 0
      StrCpy $3 "$3 ${arch}\TallowbyPage.dll (regsvr32: $2)"
    ${EndIf}
    ClearErrors
    !insertmacro Regsvr32 ${arch} "/u /n /i:user" "$INSTDIR\${arch}\Tallowby.dll"
    ${If} $2 != 0
      StrCpy $3 "$3 ${arch}\Tallowby.dll (regsvr32: $2)"
    ${EndIf}
  ${EndIf}
!macroend

Function .onInit
  ; Where an earlier version went.
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    StrCpy $INSTDIR $0
  ${EndIf}
  Call RefuseWhenInUse
FunctionEnd

Function un.onInit
  Call un.RefuseWhenInUse
FunctionEnd

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
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

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
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; The add-in's stored preference goes with it; the saved attachments are the user's and stay.
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "${SETTINGS_PARENT}"
SectionEnd
