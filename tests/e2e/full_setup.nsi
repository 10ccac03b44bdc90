; A setup that touches every kind of item the repackager captures: nested
; folders under Program Files, awkward file names, a large file, a scratch
; .tmp file, registry values of every type under HKLM and HKCU, a new INI file,
; an entry in win.ini and a desktop shortcut.
; makensis -INPUTCHARSET UTF8 -DPAYLOAD=<folder> -DOUTFILE=<exe> full_setup.nsi
Unicode true
SilentInstall silent
RequestExecutionLevel admin
Name "Corvane Full Test"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Corvane Full\App"

Section
  SetOutPath "$INSTDIR"
  File "/oname=readme.txt" "${PAYLOAD}\readme.txt"
  File "/oname=big.dat" "${PAYLOAD}\big.dat"
  File "/oname=scratch.tmp" "${PAYLOAD}\scratch.tmp"
  SetOutPath "$INSTDIR\Data\Deep\Deeper"
  File "/oname=nested.bin" "${PAYLOAD}\nested.bin"
  SetOutPath "$INSTDIR\Données"
  File "/oname=résumé-ñ.txt" "${PAYLOAD}\accented.txt"
  File "/oname=it's here.txt" "${PAYLOAD}\quoted.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; HKLM: one value of each type.
  WriteRegStr HKLM "Software\CorvaneFull\App" "InstallPath" "$INSTDIR\Data"
  WriteRegExpandStr HKLM "Software\CorvaneFull\App" "LogFolder" "%SystemRoot%\CorvaneLogs"
  WriteRegDWORD HKLM "Software\CorvaneFull\App" "Build" 4660
  WriteRegBin HKLM "Software\CorvaneFull\App" "Blob" 0A0BFF00C3
  WriteRegStr HKLM "Software\CorvaneFull\App" "" "Default text"
  WriteRegStr HKLM "Software\CorvaneFull\App" 'Say "hi"' "quoted name"
  ExecWait '"$SYSDIR\reg.exe" add "HKLM\Software\CorvaneFull\App" /v Servers /t REG_MULTI_SZ /d "alpha\0beta" /f'
  ; HKCU: the same types again.
  WriteRegStr HKCU "Software\CorvaneFull\User" "DataPath" "$INSTDIR\Données"
  WriteRegExpandStr HKCU "Software\CorvaneFull\User" "Profile" "%USERPROFILE%\CorvaneFull"
  WriteRegDWORD HKCU "Software\CorvaneFull\User" "Runs" 7
  WriteRegBin HKCU "Software\CorvaneFull\User" "Token" 01AB
  WriteRegStr HKCU "Software\CorvaneFull\User" "" "User default"
  WriteRegStr HKCU "Software\CorvaneFull\User" "It's" "single quote in the name"
  ExecWait '"$SYSDIR\reg.exe" add "HKCU\Software\CorvaneFull\User" /v Recent /t REG_MULTI_SZ /d "one\0two\0three" /f'

  ; INI: a new file beside the program and a new entry in win.ini.
  WriteINIStr "$INSTDIR\settings.ini" "General" "Language" "en"
  WriteINIStr "$INSTDIR\settings.ini" "General" "Theme" "dark"
  WriteINIStr "$WINDIR\win.ini" "CorvaneFull" "Installed" "yes"

  CreateShortCut "$DESKTOP\Corvane Full.lnk" "$INSTDIR\uninstall.exe"
SectionEnd

Section "Uninstall"
SectionEnd
