; A setup that leaves what a clean package must handle: a Start-menu subfolder
; shortcut with arguments, a working folder, a description and a maximised
; window, a desktop shortcut, an uninstaller registered in Add/Remove
; Programs (with a Start-menu shortcut to it), and INI and registry values
; that hold the install folder.
; makensis -INPUTCHARSET UTF8 -DPAYLOAD=<folder> -DOUTFILE=<exe> clean_setup.nsi
Unicode true
SilentInstall silent
RequestExecutionLevel admin
Name "Corvane Clean Test"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Corvane Clean"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\CorvaneClean"

Section
  SetOutPath "$INSTDIR"
  File "/oname=app.exe" "${PAYLOAD}\app.exe"
  SetOutPath "$INSTDIR\Data"
  File "/oname=data.txt" "${PAYLOAD}\data.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Corvane Clean"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\app.exe,0"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegStr HKLM "Software\CorvaneClean" "Home" "$INSTDIR"

  WriteINIStr "$INSTDIR\clean.ini" "General" "Home" "$INSTDIR"
  WriteINIStr "$INSTDIR\clean.ini" "General" "Mode" "plain"

  ; The working folder of a shortcut is the output folder when it is made.
  CreateDirectory "$SMPROGRAMS\Corvane Clean"
  SetOutPath "$INSTDIR\Data"
  CreateShortCut "$SMPROGRAMS\Corvane Clean\Clean App.lnk" "$INSTDIR\app.exe" "--profile fast" "" 0 \
    SW_SHOWMAXIMIZED "" "Starts Corvane Clean"
  CreateShortCut "$SMPROGRAMS\Corvane Clean\Uninstall.lnk" "$INSTDIR\uninstall.exe"
  SetOutPath "$INSTDIR"
  CreateShortCut "$DESKTOP\Corvane Clean.lnk" "$INSTDIR\app.exe"
SectionEnd

Section "Uninstall"
SectionEnd
