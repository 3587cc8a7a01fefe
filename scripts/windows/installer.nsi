; The Verdalia installer: the window, the command line and the reference database into the
; user's own programs folder, a shortcut in the Start menu and an entry to uninstall it. It
; asks for no administrator rights. Built by scripts/windows/build.sh, which passes VERSION,
; SOURCE (the package's folder) and OUTFILE.
Unicode true
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma

Name "Verdalia"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Verdalia"
InstallDirRegKey HKCU "Software\Verdalia\Instalacion" "Carpeta"
ShowInstDetails show
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "Verdalia"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "Instalador de Verdalia"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"

!include "MUI2.nsh"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Spanish"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Verdalia"

Section "Verdalia"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "${SOURCE}\verdalia.exe"
  File "${SOURCE}\verdalia-cli.exe"
  File "${SOURCE}\LEEME.txt"
  SetOutPath "$INSTDIR\Base"
  ; A reference database the operator put there (an Access one, say) stays as it is.
  SetOverwrite ifdiff
  File "${SOURCE}\Base\verdalia7.db"
  SetOverwrite on
  SetOutPath "$INSTDIR\licencias"
  File "${SOURCE}\licencias\*.*"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\desinstalar.exe"
  CreateShortcut "$SMPROGRAMS\Verdalia.lnk" "$INSTDIR\verdalia.exe"
  WriteRegStr HKCU "Software\Verdalia\Instalacion" "Carpeta" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Verdalia"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Verdalia"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\verdalia.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\desinstalar.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\desinstalar.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  Delete "$SMPROGRAMS\Verdalia.lnk"
  Delete "$INSTDIR\verdalia.exe"
  Delete "$INSTDIR\verdalia-cli.exe"
  Delete "$INSTDIR\LEEME.txt"
  Delete "$INSTDIR\licencias\*.*"
  RMDir "$INSTDIR\licencias"
  ; A database the operator put beside it (an Access one, say) keeps the folder.
  Delete "$INSTDIR\Base\verdalia7.db"
  RMDir "$INSTDIR\Base"
  Delete "$INSTDIR\desinstalar.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "Software\Verdalia\Instalacion"
SectionEnd
