; The setup program of Tessaly, compiled on Linux by scripts/make-installer.sh with Debian's NSIS:
;   makensis -DTESSALY_EXE=... -DFILE_DATABASE=... -DUSER_GUIDE=... -DOUT_FILE=... tessaly.nsi
; It installs Tessaly.exe, FileDatabase.xml and TessalyUserGuide.pdf into the 32-bit program
; files folder for every user of the machine, adds a Start-menu shortcut, and registers an
; uninstaller with Windows. The uninstaller removes what setup installed and nothing else: the
; user's settings and registry backups stay unless the user asks (the uninstaller's option, or
; /REMOVEUSERDATA with /S).

Unicode true
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
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaly"
; What the program itself keeps for its user (the settings key and the first-run backups).
!define SETTINGS_KEY "Software\${PUBLISHER}\Tessaly"
!define BACKUP_FOLDER "$DOCUMENTS\${PUBLISHER}\Tessaly Documents"

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COPYRIGHT}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!define MUI_ICON "${__FILEDIR__}/../resources/tessaly.ico"
!define MUI_UNICON "${__FILEDIR__}/../resources/tessaly.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\TessalyUserGuide.pdf"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Open the user guide"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!define MUI_COMPONENTSPAGE_TEXT_TOP "Tessaly will be removed from your computer. Your settings and the backups of the Native Instruments registry keys stay unless you tick the option below."
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
  ; The user's own settings and the backups the program made in the user's Documents folder.
  SetShellVarContext current
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\${PUBLISHER}"
  Delete "${BACKUP_FOLDER}\BackupHklmDefault.xml"
  Delete "${BACKUP_FOLDER}\BackupHklm32Bit.xml"
  Delete "${BACKUP_FOLDER}\BackupHkcuDefault.xml"
  RMDir "${BACKUP_FOLDER}"
  RMDir "$DOCUMENTS\${PUBLISHER}"
SectionEnd

Function un.onInit
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
  !insertmacro MUI_DESCRIPTION_TEXT ${SecUserData} "Removes the settings key HKEY_CURRENT_USER\${SETTINGS_KEY} and the three backups of the Native Instruments registry keys in Documents\${PUBLISHER}\Tessaly Documents. Other files there stay."
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END
