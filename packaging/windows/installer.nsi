; Installer for Tunebarn Uploader, built by scripts/windows.sh with
;   makensis -DVERSION=x.y.z -DOUTFILE=setup.exe -DFILES_DIR=<folder> -DICON=tunebarn.ico installer.nsi
; FILES_DIR holds install-files.nsh and uninstall-files.nsh, made from the program folder, so
; the uninstaller removes exactly the files that were installed.
;
; Command line: /S silent; /CurrentUser (the default) or /AllUsers; /AutoStart ticks
; "Start at log-on"; /D=<folder> another installation folder (last, unquoted).

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!define APP_NAME "Tunebarn Uploader"
!define APP_EXE "tunebarn-uploader.exe"
!define UNINSTALLER "uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TunebarnUploader"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_DEFAULT_CURRENTUSER
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "${APP_NAME}"
; A second installation goes where the first one went, in the same mode.
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
!include MultiUser.nsh
!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include x64.nsh

Name "${APP_NAME} ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "${APP_NAME} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${APP_NAME}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${APP_NAME} Setup"
VIAddVersionKey "LegalCopyright" ""

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\${APP_EXE}"
!define MUI_FINISHPAGE_RUN_NOTCHECKED

!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; Each running copy has a hidden window of this class (src/platform/TerminationSignals.cpp);
; WM_CLOSE to it closes that copy the orderly way, its audit block ending as usual, so that its
; files can be replaced or removed.
!define CLOSE_WINDOW_CLASS "TunebarnUploaderTermination"
!macro CloseRunningCopies
    StrCpy $R1 0
    ${Do}
        FindWindow $R0 "${CLOSE_WINDOW_CLASS}"
        ${If} $R0 == 0
            ${ExitDo}
        ${EndIf}
        ${If} $R1 == 0
            DetailPrint "Closing the running Tunebarn Uploader"
        ${EndIf}
        SendMessage $R0 ${WM_CLOSE} 0 0 /TIMEOUT=2000
        Sleep 250
        IntOp $R1 $R1 + 1
        ; An upload still running is given half a minute to end.
        ${If} $R1 > 120
            ${ExitDo}
        ${EndIf}
    ${Loop}
!macroend

Section "-Program" SecProgram
    SetRegView 64
    !insertmacro CloseRunningCopies
    !include "${FILES_DIR}/install-files.nsh"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"

    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${APP_NAME}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${APP_EXE},0"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}" /$MultiUser.InstallMode'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /$MultiUser.InstallMode /S'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Start menu shortcut" SecShortcut
    CreateShortcut "$SMPROGRAMS\${APP_NAME}.lnk" "$INSTDIR\${APP_EXE}"
SectionEnd

; Off unless chosen: a second copy started at log-on beside a service would be refused anyway,
; but the station decides how the scheduler runs.
Section /o "Start at log-on" SecAutoStart
    SetRegView 64
    WriteRegStr SHCTX "${RUN_KEY}" "${APP_NAME}" '"$INSTDIR\${APP_EXE}"'
SectionEnd

Function .onInit
    SetRegView 64
    !insertmacro MULTIUSER_INIT
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/AutoStart" $1
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${SecAutoStart}
    ${EndIf}
FunctionEnd

Function un.onInit
    SetRegView 64
    !insertmacro MULTIUSER_UNINIT
FunctionEnd

Section "Uninstall"
    SetRegView 64
    !insertmacro CloseRunningCopies
    !include "${FILES_DIR}/uninstall-files.nsh"
    Delete "$INSTDIR\${UNINSTALLER}"
    RMDir "$INSTDIR"
    ; The per-user programs folder, when the installation made it and nothing else is in it.
    ${If} $MultiUser.InstallMode == CurrentUser
        RMDir "$LOCALAPPDATA\Programs"
    ${EndIf}
    Delete "$SMPROGRAMS\${APP_NAME}.lnk"
    DeleteRegValue SHCTX "${RUN_KEY}" "${APP_NAME}"
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
