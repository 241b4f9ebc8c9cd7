; The Windows installer: the three executables, the command line's manual and the licences under
; Program Files for every user of the machine, shortcuts in the all-users Start menu, an
; uninstaller registered with Windows, and on request the command line on the system PATH.
; makensis gets VERSION (x.y.z), BINDIR and OUTFILE with -D.
; A 64-bit installer: it installs 64-bit programs, and runs where they run.
Target amd64-unicode
!include "x64.nsh"
!include "LogicLib.nsh"
!include "WinMessages.nsh"
!include "WordFunc.nsh"

!define PRODUCT "QV4071x FW Update Utility"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\q71xfwtool"
!define ENVIRONMENT_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
; Marks in the uninstall key what the installer changed beyond its own folder.
!define ON_PATH_VALUE "AddedToPath"
; The window's default backup lands in the folder it starts in: the user's own documents, never
; Program Files. The shell expands the variable for whoever starts the shortcut.
!define START_FOLDER "%USERPROFILE%\Documents"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\q71xfwtool"
; Program Files, the all-users Start menu, the machine-wide keys and PATH need an administrator,
; and so does the tool.
RequestExecutionLevel admin
SetCompressor /SOLID lzma

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "CompanyName" "q71xfwtool developers"
VIAddVersionKey /LANG=1033 "LegalCopyright" "GPL-2.0-or-later"

Page components
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} needs 64-bit Windows."
    Abort
  ${EndIf}
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "!${PRODUCT}" SectionProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${BINDIR}\q71xfwtool.exe"
  File "${BINDIR}\q71xfwtool-sim.exe"
  File "${BINDIR}\q71xfw.exe"
  File "${BINDIR}\q71xfw-manual.txt"
!if /FileExists "${BINDIR}\LICENSE.txt"
  File "${BINDIR}\LICENSE.txt"
!endif
!if /FileExists "${BINDIR}\licenses\*"
  File /r "${BINDIR}\licenses"
!endif
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  ; CreateShortcut gives each shortcut $OUTDIR as the folder it starts in; set without creating it.
  StrCpy $OUTDIR "${START_FOLDER}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\q71xfwtool.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT} (simulated enclosures).lnk" \
      "$INSTDIR\q71xfwtool-sim.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\q71xfw command line manual.lnk" \
      "$INSTDIR\q71xfw-manual.txt"
  SetOutPath "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\q71xfwtool.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; q71xfw from any console. The system PATH is read and written whole: one longer than this
; installer's strings would come back cut short, so it is then left alone and the user told.
Section "Command line (q71xfw) on the PATH" SectionPath
  ClearErrors
  ReadRegStr $0 HKLM "${ENVIRONMENT_KEY}" "Path"
  StrLen $1 "$0;$INSTDIR"
  ${If} ${Errors}
  ${OrIf} $1 >= ${NSIS_MAX_STRLEN}
    DetailPrint "The system PATH is too long to change here: add $INSTDIR to it by hand."
    Return
  ${EndIf}
  ${WordFind} ";$0;" ";$INSTDIR;" "E+1{" $2
  ${If} ${Errors}
    WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" "$0;$INSTDIR"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "${ON_PATH_VALUE}" 1
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
  ${EndIf}
SectionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Uninstall"
  ClearErrors
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "${ON_PATH_VALUE}"
  ${If} $0 == 1
    ReadRegStr $1 HKLM "${ENVIRONMENT_KEY}" "Path"
    ; Whole entries only: a folder whose name merely begins with this one's stays.
    ${un.WordReplace} "$1;" ";$INSTDIR;" ";" "+" $2
    StrCpy $2 $2 -1
    ${If} $2 != $1
      WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" "$2"
      SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
    ${EndIf}
  ${EndIf}
  Delete "$INSTDIR\q71xfwtool.exe"
  Delete "$INSTDIR\q71xfwtool-sim.exe"
  Delete "$INSTDIR\q71xfw.exe"
  Delete "$INSTDIR\q71xfw-manual.txt"
  Delete "$INSTDIR\LICENSE.txt"
  ; Only the folder this installer put there: anything else in it stays, and so does the folder.
  RMDir /r "$INSTDIR\licenses"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT} (simulated enclosures).lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\q71xfw command line manual.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
