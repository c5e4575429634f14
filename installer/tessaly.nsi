; The setup programs of Tessaly, compiled on Linux by scripts/make-installer.sh with Debian's NSIS:
;   makensis -DTESSALY_EXE=... -DFILE_DATABASE=... -DUSER_GUIDE=... -DOUT_FILE=... [-DX64] tessaly.nsi
; Without X64, the 32-bit edition: a 32-bit setup program that installs the 32-bit Tessaly.exe
; into the 32-bit program files folder and registers its uninstaller in the 32-bit registry view;
; it runs on 32-bit and 64-bit Windows, and on 64-bit Windows its last page names the 64-bit
; edition. With X64, the 64-bit edition: a 64-bit setup program (which 32-bit Windows refuses to
; start) that installs the 64-bit Tessaly.exe into the 64-bit program files folder and registers
; its uninstaller in the 64-bit view. Both install FileDatabase.xml and TessalyUserGuide.pdf beside
; the program for every user of the machine, add the same Start-menu shortcuts, and refuse to
; install over the other edition. The uninstaller removes what setup installed and nothing else:
; the user's settings and registry backups stay unless the user asks (the uninstaller's option, or
; /REMOVEUSERDATA with /S).

!ifdef X64
  Target amd64-unicode
!else
  Unicode true
!endif
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!macro RequireDefine NAME
  !ifndef ${NAME}
    !error "${NAME} is not defined: scripts/make-installer.sh passes TESSALY_EXE, FILE_DATABASE, USER_GUIDE and OUT_FILE"
  !endif
!macroend
!insertmacro RequireDefine TESSALY_EXE
!insertmacro RequireDefine FILE_DATABASE
!insertmacro RequireDefine USER_GUIDE
!insertmacro RequireDefine OUT_FILE

; The version record is read from the one place the program's own version resource takes it.
!searchparse /file "${__FILEDIR__}/../resources/version.h" `#define TESSALY_VERSION_TEXT "` VERSION `"`
!searchparse /file "${__FILEDIR__}/../resources/version.h" `#define TESSALY_PUBLISHER "` PUBLISHER `"`
!searchparse /file "${__FILEDIR__}/../resources/version.h" `#define TESSALY_COPYRIGHT "` COPYRIGHT `"`

!define PRODUCT "Tessaly"
!ifdef X64
  !define EDITION "64-bit"
  !define OTHER_EDITION "32-bit"
  !define OTHER_SETUP "Tessaly-${VERSION}-Setup.exe"
  !define PROGRAM_FILES "$PROGRAMFILES64"
!else
  !define EDITION "32-bit"
  !define OTHER_EDITION "64-bit"
  !define OTHER_SETUP "Tessaly-${VERSION}-x64-Setup.exe"
  !define PROGRAM_FILES "$PROGRAMFILES"
!endif
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaly"
; What the program itself keeps for its user (the settings key and the first-run backups).
!define SETTINGS_KEY "Software\${PUBLISHER}\Tessaly"
!define BACKUP_FOLDER "$DOCUMENTS\${PUBLISHER}\Tessaly Documents"

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
InstallDir "${PROGRAM_FILES}\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}, ${EDITION} edition"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COPYRIGHT}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup (${EDITION} edition)"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"

; The finish page's text, set when setup starts: on 64-bit Windows the 32-bit edition names the
; 64-bit one.
Var FinishText

!define MUI_ICON "${__FILEDIR__}/../resources/tessaly.ico"
!define MUI_UNICON "${__FILEDIR__}/../resources/tessaly.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\TessalyUserGuide.pdf"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Open the user guide"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!define MUI_FINISHPAGE_TEXT "$FinishText"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!define MUI_COMPONENTSPAGE_TEXT_TOP "Tessaly will be removed from your computer. Your settings and the backups of the Native Instruments registry keys (the first-run backups and the backups made before each change) stay unless you tick the option below."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Function .onInit
  ; The program changes machine-wide registry keys and installs for every user.
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_ICONSTOP|MB_OK "Tessaly Setup needs administrator rights. Please run it as an administrator." /SD IDOK
    SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
    Quit
  ${EndIf}
  StrCpy $FinishText "${PRODUCT} has been installed on your computer.$\r$\n$\r$\nClick Finish to close this wizard."
  ${If} ${RunningX64}
    ; One edition at a time: both use the same Start-menu shortcuts and the same settings.
    !ifdef X64
      SetRegView 32
    !else
      SetRegView 64
    !endif
    ClearErrors
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "DisplayName"
    ${IfNot} ${Errors}
      MessageBox MB_ICONSTOP|MB_OK "The ${OTHER_EDITION} edition of Tessaly is installed. Please remove it first (Settings, Apps), then run this setup again. Your settings and backups stay." /SD IDOK
      SetErrorLevel 1638 ; ERROR_PRODUCT_VERSION: another version of this product is installed
      Quit
    ${EndIf}
    !ifdef X64
      SetRegView 64
    !else
      SetRegView 32
      StrCpy $FinishText "$FinishText$\r$\n$\r$\nThis computer runs 64-bit Windows: the 64-bit edition of Tessaly (${OTHER_SETUP}) is made for it."
    !endif
  ${EndIf}
  ; (A 64-bit setup program never gets here on 32-bit Windows: Windows refuses to start it.)
FunctionEnd

Section "Tessaly" SecMain
  SectionIn RO
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "/oname=Tessaly.exe" "${TESSALY_EXE}"
  File "/oname=FileDatabase.xml" "${FILE_DATABASE}"
  File "/oname=TessalyUserGuide.pdf" "${USER_GUIDE}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The shortcut starts the program in its own folder ($OUTPATH), where it finds FileDatabase.xml.
  CreateShortCut "$SMPROGRAMS\Tessaly.lnk" "$INSTDIR\Tessaly.exe" "" "$INSTDIR\Tessaly.exe" 0 \
    SW_SHOWNORMAL "" "Find and fix problems with VST plugins and Native Instruments products"
  CreateShortCut "$SMPROGRAMS\Tessaly User Guide.lnk" "$INSTDIR\TessalyUserGuide.pdf"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tessaly.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; The size of what setup installed, in KB, as Windows lists it.
  StrCpy $1 0
  ${GetSize} "$INSTDIR" "/M=Tessaly.exe /S=0K /G=0" $0 $2 $3
  IntOp $1 $1 + $0
  ${GetSize} "$INSTDIR" "/M=FileDatabase.xml /S=0K /G=0" $0 $2 $3
  IntOp $1 $1 + $0
  ${GetSize} "$INSTDIR" "/M=TessalyUserGuide.pdf /S=0K /G=0" $0 $2 $3
  IntOp $1 $1 + $0
  ${GetSize} "$INSTDIR" "/M=Uninstall.exe /S=0K /G=0" $0 $2 $3
  IntOp $1 $1 + $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1
SectionEnd

; --- Uninstaller ---------------------------------------------------------------------------

Section "-un.Tessaly"
  SetShellVarContext all
  ; A running Tessaly.exe cannot be removed: stop before anything is removed, and say why.
  ClearErrors
  ${If} ${FileExists} "$INSTDIR\Tessaly.exe"
    Delete "$INSTDIR\Tessaly.exe"
  ${EndIf}
  ${If} ${Errors}
    MessageBox MB_ICONSTOP|MB_OK "Tessaly is running. Please close it, then remove Tessaly again." /SD IDOK
    SetErrorLevel 32 ; ERROR_SHARING_VIOLATION
    Abort
  ${EndIf}
  Delete "$INSTDIR\FileDatabase.xml"
  Delete "$INSTDIR\TessalyUserGuide.pdf"
  Delete "$SMPROGRAMS\Tessaly.lnk"
  Delete "$SMPROGRAMS\Tessaly User Guide.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\Uninstall.exe"
  ; Only an empty folder goes: files the user put there stay, and so does the folder with them.
  RMDir "$INSTDIR"
SectionEnd

Section /o "un.Also remove my Tessaly settings and registry backups" SecUserData
  ; The user's own settings and the backups the program made in the user's Documents folder: the
  ; three first-run backups and the change backups (Change-<date and time>-<number>.xml).
  SetShellVarContext current
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\${PUBLISHER}"
  Delete "${BACKUP_FOLDER}\BackupHklmDefault.xml"
  Delete "${BACKUP_FOLDER}\BackupHklm32Bit.xml"
  Delete "${BACKUP_FOLDER}\BackupHkcuDefault.xml"
  Delete "${BACKUP_FOLDER}\Change-*.xml"
  RMDir "${BACKUP_FOLDER}"
  RMDir "$DOCUMENTS\${PUBLISHER}"
SectionEnd

Function un.onInit
  !ifdef X64
    SetRegView 64
  !endif
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_ICONSTOP|MB_OK "Removing Tessaly needs administrator rights. Please run the uninstaller as an administrator." /SD IDOK
    SetErrorLevel 740
    Quit
  ${EndIf}
  ; A silent uninstall removes the user's settings and backups only when told to.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVEUSERDATA" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${SecUserData} ${SF_SELECTED}
  ${EndIf}
FunctionEnd

!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecUserData} "Removes the settings key HKEY_CURRENT_USER\${SETTINGS_KEY} and the backups of the Native Instruments registry keys in Documents\${PUBLISHER}\Tessaly Documents: the three first-run backups and the backups made before each change (Change-*.xml). Other files there stay."
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END
