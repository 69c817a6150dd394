; The setup program of Zefirana for Windows, made by makensis (packaging/windows/installers.cmake
; gives it the defines below). It installs, per machine and with administrator rights, the files
; of the zip into Program Files\Zefirana (or the folder given with /D=), a Start menu entry
; "Zefirana" for all users, a desktop shortcut when asked, the uninstaller and its entry among
; the installed programs. The uninstaller removes exactly that, by name.
;   STAGE   the zip's staged folder Zefirana        FILES   the list of its files (files.nsh)
;   ICON    the game's icon                          OUTFILE the setup program to write
; Silent: Zefirana-2.00-setup.exe /S [/D=C:\another folder\Zefirana], and
; "...\Zefirana\Disinstalla.exe" /S to remove it.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true
ManifestSupportedOS all

!define VERSION "2.00"
!define PUBLISHER "Gli sviluppatori di Zefirana"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zefirana"
!define UNINSTALLER "Disinstalla.exe"

Name "Zefirana"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Zefirana"
; A new version goes where the earlier one is, unless /D= says otherwise.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Zefirana ${VERSION}"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include "${FILES}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Italian"

; The setup program's own version record, under Italian like the game's.
VIProductVersion "2.0.0.0"
VIFileVersion "2.0.0.0"
VIAddVersionKey /LANG=${LANG_ITALIAN} "ProductName" "Zefirana"
VIAddVersionKey /LANG=${LANG_ITALIAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "FileDescription" "Installazione di Zefirana"
VIAddVersionKey /LANG=${LANG_ITALIAN} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "LegalCopyright" "Software libero per la scuola"
VIAddVersionKey /LANG=${LANG_ITALIAN} "OriginalFilename" "Zefirana-${VERSION}-setup.exe"

; Removes the folders above the folder DIR that are empty, up to OUTER, the outermost folder an
; installation made (none when OUTER is empty).
!macro RemoveMadeFolders DIR OUTER
  StrCpy $2 "${DIR}"
  ${If} "${OUTER}" != ""
    ${Do}
      ${GetParent} $2 $2
      ${IfThen} $2 == "" ${|} ${ExitDo} ${|}
      RMDir $2
    ${LoopUntil} $2 == "${OUTER}"
  ${EndIf}
!macroend

Function .onInit
  SetShellVarContext all
FunctionEnd

Section "Zefirana" main
  SectionIn RO
  ; An earlier copy (this version or an older one, here or elsewhere) is removed by its own
  ; uninstaller first, so one copy and one entry remain.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "MadeFolders"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\${UNINSTALLER}"
    ExecWait '"$0\${UNINSTALLER}" /S _?=$0'
    Delete "$0\${UNINSTALLER}"
    RMDir "$0"
    !insertmacro RemoveMadeFolders $0 $1
  ${EndIf}

  ; The outermost of the folders above $INSTDIR that do not exist yet: the uninstaller removes
  ; those it finds empty again, up to that one, and no folder that was there before.
  StrCpy $1 ""
  ${GetParent} "$INSTDIR" $2
  ${DoUntil} ${FileExists} "$2\*.*"
    StrCpy $1 $2
    ${GetParent} $2 $2
  ${LoopUntil} $2 == ""
  SetOutPath "$INSTDIR"
  !insertmacro ZefiranaInstallFiles
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  CreateShortcut "$SMPROGRAMS\Zefirana.lnk" "$INSTDIR\Zefirana.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Zefirana"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Zefirana.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "MadeFolders" $1
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "Collegamento sul desktop" desktop
  CreateShortcut "$DESKTOP\Zefirana.lnk" "$INSTDIR\Zefirana.exe"
SectionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\Zefirana.lnk"
  Delete "$DESKTOP\Zefirana.lnk"
  !insertmacro ZefiranaRemoveFiles
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "MadeFolders"
  !insertmacro RemoveMadeFolders $INSTDIR $1
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
