; The Windows installer: the three executables, the command line's manual, the program's licence
; and the licences of the libraries linked into the executables (licenses\) under Program Files,
; shortcuts in the Start menu and an uninstaller registered with Windows. makensis gets VERSION,
; BINDIR and OUTFILE with -D.
; A 64-bit installer: it installs 64-bit programs, and runs where they run.
Target amd64-unicode
!include "x64.nsh"

!define PRODUCT "QV4071x FW Update Utility"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\q71xfwtool"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\q71xfwtool"
; Program Files and the machine-wide uninstall key need an administrator, and so does the tool.
RequestExecutionLevel admin
SetCompressor /SOLID lzma

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
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  File "${BINDIR}\q71xfwtool.exe"
  File "${BINDIR}\q71xfwtool-sim.exe"
  File "${BINDIR}\q71xfw.exe"
  File "${BINDIR}\q71xfw-manual.txt"
  File "${BINDIR}\LICENSE.txt"
  SetOutPath "$INSTDIR\licenses"
  File "${BINDIR}\licenses\*.txt"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\q71xfwtool.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT} (simulated enclosures).lnk" \
      "$INSTDIR\q71xfwtool-sim.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\q71xfw command line manual.lnk" \
      "$INSTDIR\q71xfw-manual.txt"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Uninstall"
  Delete "$INSTDIR\q71xfwtool.exe"
  Delete "$INSTDIR\q71xfwtool-sim.exe"
  Delete "$INSTDIR\q71xfw.exe"
  Delete "$INSTDIR\q71xfw-manual.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\licenses\gcc-runtime.txt"
  Delete "$INSTDIR\licenses\GPL-3.txt"
  Delete "$INSTDIR\licenses\mingw-w64-runtime.txt"
  Delete "$INSTDIR\licenses\CLI11.txt"
  Delete "$INSTDIR\licenses\nlohmann-json.txt"
  RMDir "$INSTDIR\licenses"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT} (simulated enclosures).lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\q71xfw command line manual.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
