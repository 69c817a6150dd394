; The setup program of Zefirana for Windows, made by makensis (packaging/windows/installers.cmake
; gives it the defines below). It installs, per machine and with administrator rights, the files
; of the zip into Program Files\Zefirana (or the folder given with /D=), a Start menu entry
; "Zefirana" for all users, a desktop shortcut when asked (kept by a later setup program), the
; uninstaller and its entry among the installed programs.
;   STAGE    the zip's staged folder Zefirana       FILES     the list of its files (files.nsh)
;   ICON     the game's icon                         OUTFILE   the setup program to write
;   VERSION  the version as people read it (2.10)    VERSION4  the same as four numbers (2.1.0.0)
;   CUSTODE  the helper that keeps the teacher's recordings (custode.cpp)
;   UPGRADE_CODE  the MSI package's upgrade code     SIGN      a command signing the file %1
; It runs nothing from the install folder: an earlier copy is removed by the record of what it
; installed, the teacher's recordings kept (custode.exe, from the setup program's own temporary
; folder). Every message box has an answer for silent runs. Exit status (README): 0 done,
; 1 cancelled, 2 a file could not be replaced or removed (the game is open), 3 Zefirana is
; installed by the MSI package, which must be removed first.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
; The same bytes from every build: no file times, a file that cannot be written stops the run.
SetDateSave off
AllowSkipFiles off
RequestExecutionLevel admin
ManifestDPIAware true
ManifestSupportedOS all
!ifdef SIGN
  !uninstfinalize '${SIGN} "%1"' = 0
  !finalize '${SIGN} "%1"' = 0
!endif

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
!include Sections.nsh
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
VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "ProductName" "Zefirana"
VIAddVersionKey /LANG=${LANG_ITALIAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "FileDescription" "Installazione di Zefirana"
VIAddVersionKey /LANG=${LANG_ITALIAN} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "LegalCopyright" "Software libero per la scuola"
VIAddVersionKey /LANG=${LANG_ITALIAN} "OriginalFilename" "Zefirana-${VERSION}-setup.exe"

; Runs custode.exe (from the plug-in folder) with COMMAND on the folder DIR; a failure ends the
; run with its status (2: a file in use) after saying so.
!macro Custode COMMAND DIR
  ExecWait '"$PLUGINSDIR\custode.exe" ${COMMAND} "${DIR}\."' $9
  ${If} $9 != 0
    MessageBox MB_OK|MB_ICONSTOP "Non è stato possibile cambiare i file di Zefirana in $\"${DIR}$\": forse il gioco è aperto. Chiudi Zefirana e riprova." /SD IDOK
    ${IfThen} $9 != 2 ${|} StrCpy $9 1 ${|}
    SetErrorLevel $9
    Quit
  ${EndIf}
!macroend

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

Section "Zefirana" main
  SectionIn RO
  ; An earlier copy (this version or another, here or elsewhere) is removed by the record of
  ; what it installed, but for the teacher's recordings; so one copy and one entry remain.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "MadeFolders"
  ${If} $0 != ""
    !insertmacro Custode remove $0
    Delete "$SMPROGRAMS\Zefirana.lnk"
    Delete "$DESKTOP\Zefirana.lnk"
    !insertmacro RemoveMadeFolders $0 $1
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${EndIf}

  ; The outermost of the folders above $INSTDIR that do not exist yet: the uninstaller removes
  ; those it finds empty again, up to that one, and no folder that was there before.
  StrCpy $1 ""
  ${GetParent} "$INSTDIR" $2
  ${DoUntil} ${FileExists} "$2\*.*"
    StrCpy $1 $2
    ${GetParent} $2 $2
  ${LoopUntil} $2 == ""
  CreateDirectory "$INSTDIR"
  !insertmacro Custode protect $INSTDIR
  !insertmacro Custode aside $INSTDIR
  SetOutPath "$INSTDIR"
  !insertmacro ZefiranaInstallFiles
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  !insertmacro Custode back $INSTDIR
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

Function .onInit
  SetShellVarContext all
  ; One kind of installation at a time: the MSI package's copy is the domain's (group policy may
  ; put it back), so the setup program leaves it alone and says so.
  System::Call 'msi::MsiEnumRelatedProductsW(w "${UPGRADE_CODE}", i 0, i 0, w .r0) i .r1'
  ${If} $1 == 0
    MessageBox MB_OK|MB_ICONSTOP "Zefirana è già installato su questo computer con il pacchetto MSI. Rimuovilo prima da $\"App installate$\" (o con msiexec /x), poi installa di nuovo." /SD IDOK
    SetErrorLevel 3
    Quit
  ${EndIf}
  ; A later version keeps the desktop shortcut the technician chose.
  ${If} ${FileExists} "$DESKTOP\Zefirana.lnk"
    !insertmacro SelectSection ${desktop}
  ${EndIf}
  InitPluginsDir
  File "/oname=$PLUGINSDIR\custode.exe" "${CUSTODE}"
FunctionEnd

Function un.onInit
  SetShellVarContext all
  InitPluginsDir
  File "/oname=$PLUGINSDIR\custode.exe" "${CUSTODE}"
FunctionEnd

; Removes what the record says was installed (itself too), but for the teacher's recordings.
Section "Uninstall"
  !insertmacro Custode remove $INSTDIR
  Delete "$SMPROGRAMS\Zefirana.lnk"
  Delete "$DESKTOP\Zefirana.lnk"
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "MadeFolders"
  !insertmacro RemoveMadeFolders $INSTDIR $1
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
