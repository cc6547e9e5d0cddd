; The tllink installer: per user, without administrator rights, in Traditional Chinese.
; CPack includes this file from NSIS.template.in, which defines:
;   VERSION     the project version, e.g. 2.0.0
;   STAGING     the folder holding the files to install (tllink.exe, the guide, the license)
;   GUIDE       the guide's file name in that folder
;   ICON        the program's icon
;   OUT_FILE    the installer to write
;
; Silent use: setup.exe /S installs with the default options (start at sign-in included) and
; exits with 0, or with 2 when it could not install (a running tllink too old to be ended by
; message, a file not writable).
;
; A running tllink of this user is ended the way its 離開 ends it, by a message it answers,
; before the files are replaced, and the new one is started in its place.

Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh

!define APP_NAME "TideLock 網址轉換器"
; The main window's class and caption, by which a running tllink is found, and the registered
; message on which it ends as its 離開 button does (platform/win32/win32_window.h).
!define MAIN_CLASS "TllinkForm"
!define MAIN_CAPTION "Tidelock 網址轉換器"
!define END_MESSAGE "TllinkEndRequest"
!define SHORTCUT "$SMPROGRAMS\${APP_NAME}.lnk"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\tllink"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "tllink"
; Where the program keeps the user's rule; the installer never writes there.
!define RULE_KEY "Software\VB and VBA Program Settings\tllink"

Name "${APP_NAME}"
Caption "${APP_NAME} ${VERSION} 安裝程式"
UninstallCaption "解除安裝 ${APP_NAME}"
OutFile "${OUT_FILE}"
InstallDir "$LOCALAPPDATA\Programs\tllink"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "tllink ${VERSION}"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1028 "ProductName" "${APP_NAME}"
VIAddVersionKey /LANG=1028 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1028 "FileDescription" "${APP_NAME} 安裝程式"
VIAddVersionKey /LANG=1028 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1028 "LegalCopyright" "Copyright (c) the tllink developers. MIT License."

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_SMALLDESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\tllink.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\${GUIDE}"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "開啟使用說明"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

; 1 once a running tllink was ended: the new one is started in its place.
Var WasRunning

!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishPageShow
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "TradChinese"

; Ends this user's running tllink: a running copy keeps its file in use, and a program that
; still runs after its uninstall would keep watching the clipboard. It is asked as its 離開
; button would be, and waited for until its process has ended. A copy that does not answer (a
; version from before the message) is left to the user; silently there is nobody to ask: the
; (un)installer stops with error level 2.
!macro END_RUNNING_TLLINK UN
Function ${UN}EndRunningTllink
  FindWindow $0 "${MAIN_CLASS}" "${MAIN_CAPTION}"
  ${If} $0 = 0
    Return
  ${EndIf}
  StrCpy $WasRunning 1
  System::Call 'user32::GetWindowThreadProcessId(p r0, *i 0 r1) i'
  ; SYNCHRONIZE: enough to wait for it.
  System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r1) p .r2'
  System::Call 'user32::RegisterWindowMessageW(w "${END_MESSAGE}") i .r3'
  System::Call 'user32::PostMessageW(p r0, i r3, p 0, p 0) i'
  ${If} $2 P<> 0
    System::Call 'kernel32::WaitForSingleObject(p r2, i 10000) i'
    System::Call 'kernel32::CloseHandle(p r2) i'
  ${EndIf}
  ${Do}
    FindWindow $0 "${MAIN_CLASS}" "${MAIN_CAPTION}"
    ${If} $0 = 0
      Return
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "${APP_NAME} 正在執行。$\r$\n$\r$\n請在通知區域的 ${APP_NAME} 圖示上按右鍵，選「離開」結束程式，然後按「重試」。" \
      /SD IDCANCEL IDRETRY retry
    SetErrorLevel 2
    Quit
    retry:
  ${Loop}
FunctionEnd
!macroend
!insertmacro END_RUNNING_TLLINK ""
!insertmacro END_RUNNING_TLLINK "un."

Section "${APP_NAME}" SectionProgram
  SectionIn RO
  ; Only now, once the user has chosen to install: cancelling earlier leaves tllink running.
  Call EndRunningTllink
  SetOutPath "$INSTDIR"
  File "${STAGING}/tllink.exe"
  File "${STAGING}/${GUIDE}"
  File "${STAGING}/LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\tllink.exe" "" "$INSTDIR\tllink.exe" 0

  ; Settings → Apps lists the program under the user's installed apps.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${APP_NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tllink.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "the tllink developers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; The next section puts it back when chosen; an upgrade without it must not keep the old one.
  DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
SectionEnd

Section "登入 Windows 時自動啟動" SectionStartAtSignIn
  WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\tllink.exe"'
SectionEnd

; The new version takes the place of the one that was ended, with the rule it kept.
Section "-StartAgain"
  ${If} $WasRunning == 1
    Exec '"$INSTDIR\tllink.exe"'
  ${EndIf}
SectionEnd

; Started again already: the finish page's 執行 would only meet the running copy.
Function FinishPageShow
  ${If} $WasRunning == 1
    SendMessage $mui.FinishPage.Run ${BM_SETCHECK} ${BST_UNCHECKED} 0
    ShowWindow $mui.FinishPage.Run ${SW_HIDE}
  ${EndIf}
FunctionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionProgram} "程式、使用說明與解除安裝程式，以及開始功能表的捷徑。"
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionStartAtSignIn} "每次登入 Windows 時，在通知區域啟動 ${APP_NAME}。"
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
  SetShellVarContext current
  ; An upgrade keeps the choice made last time: installed without the Run entry, it stays off.
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $1 HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${If} $0 != ""
  ${AndIf} $1 == ""
    !insertmacro UnselectSection ${SectionStartAtSignIn}
  ${EndIf}
FunctionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section "Uninstall"
  Call un.EndRunningTllink
  Delete "$INSTDIR\tllink.exe"
  Delete "$INSTDIR\${GUIDE}"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "${SHORTCUT}"
  DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"

  ; The rule is the user's own work: kept unless they say otherwise, and always when silent.
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
    "也要移除儲存的轉換規則嗎？$\r$\n$\r$\n選「否」會保留規則，日後重新安裝時可以繼續使用。" \
    /SD IDNO IDNO keep_rule
    DeleteRegKey HKCU "${RULE_KEY}"
  keep_rule:
SectionEnd
