; The Windows installer of Veltrane, made with NSIS by scripts/windows:
;   makensis -DVERSION=0.1.0 -DSTAGE=<installed files> -DFILES=<file lists> -DOUTFILE=<exe> veltrane.nsi
; STAGE holds what `cmake --install` of the windows-gui build puts in the package's folder
; (both programs, Qt's DLLs and plugins, the compiler's runtime DLLs, the user guide and
; the example). FILES holds two lists scripts/windows writes from it: install.nsh (the
; File commands) and uninstall.nsh (a Delete for every file and an RMDir for every
; folder, deepest first), so that the uninstaller removes exactly what was installed.
; The user's settings (HKEY_CURRENT_USER\Software\Harmark\Veltrane) are left alone.
; /S installs or uninstalls silently; /D=<folder> (last on the command line) picks the
; folder.

; A 64-bit installer for the 64-bit programs (it also runs where only 64-bit Wine is).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include "MUI2.nsh"
!include "x64.nsh"

!define PRODUCT "Veltrane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Veltrane"
!define PROGRAM_CLASS "Veltrane.Program"
!define DRAWING_CLASS "Veltrane.Drawing"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} installer"
VIAddVersionKey "LegalCopyright" "Veltrane developers"

!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\veltrane.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\veltrane.html"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "Veltrane needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

; "Open with" for one file type: the class lists the program, the extension offers it.
!macro OpenWith EXT CLASS DESCRIPTION
  WriteRegStr HKLM "Software\Classes\${CLASS}" "" "${DESCRIPTION}"
  WriteRegStr HKLM "Software\Classes\${CLASS}\DefaultIcon" "" '"$INSTDIR\veltrane.exe",0'
  WriteRegStr HKLM "Software\Classes\${CLASS}\shell\open\command" "" '"$INSTDIR\veltrane.exe" "%1"'
  WriteRegStr HKLM "Software\Classes\${EXT}\OpenWithProgids" "${CLASS}" ""
  WriteRegStr HKLM "Software\Classes\Applications\veltrane.exe\SupportedTypes" "${EXT}" ""
!macroend

!macro RemoveOpenWith EXT CLASS
  DeleteRegKey HKLM "Software\Classes\${CLASS}"
  DeleteRegValue HKLM "Software\Classes\${EXT}\OpenWithProgids" "${CLASS}"
  DeleteRegKey /ifempty HKLM "Software\Classes\${EXT}\OpenWithProgids"
  DeleteRegKey /ifempty HKLM "Software\Classes\${EXT}"
!macroend

Section "Veltrane" SecMain
  SectionIn RO
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  !include "${FILES}/install.nsh"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Veltrane.lnk" "$INSTDIR\veltrane.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Veltrane User Guide.lnk" "$INSTDIR\veltrane.html"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Example Drawing.lnk" "$INSTDIR\veltrane.exe" '"$INSTDIR\examples\bracket.bas"'
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Uninstall Veltrane.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "Software\Classes\Applications\veltrane.exe" "FriendlyAppName" "${PRODUCT}"
  WriteRegStr HKLM "Software\Classes\Applications\veltrane.exe\shell\open\command" "" '"$INSTDIR\veltrane.exe" "%1"'
  !insertmacro OpenWith ".bas" "${PROGRAM_CLASS}" "Veltrane motion program"
  !insertmacro OpenWith ".dxf" "${DRAWING_CLASS}" "DXF drawing"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Veltrane developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\veltrane.exe",0'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; Tell the shell the file types changed (SHCNE_ASSOCCHANGED).
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  !include "${FILES}/uninstall.nsh"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${PRODUCT}\Veltrane.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Veltrane User Guide.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Example Drawing.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Uninstall Veltrane.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"

  !insertmacro RemoveOpenWith ".bas" "${PROGRAM_CLASS}"
  !insertmacro RemoveOpenWith ".dxf" "${DRAWING_CLASS}"
  DeleteRegKey HKLM "Software\Classes\Applications\veltrane.exe"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
