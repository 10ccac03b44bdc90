; Sample setup repackaged by `make demo`: a small application with a program
; folder, a settings file, per-machine and per-user registry values, an INI
; entry and a desktop shortcut.
;   makensis -DPAYLOAD=<folder with readme.txt and notes.txt> -DOUTFILE=<exe> demo-setup.nsi
Unicode true
SilentInstall silent
RequestExecutionLevel admin
Name "Corvane Demo"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Corvane Demo"

Section
  SetOutPath "$INSTDIR"
  File "/oname=readme.txt" "${PAYLOAD}\readme.txt"
  SetOutPath "$INSTDIR\Docs"
  File "/oname=notes.txt" "${PAYLOAD}\notes.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "Software\Corvane Demo" "InstallFolder" "$INSTDIR"
  WriteRegDWORD HKLM "Software\Corvane Demo" "Version" 1
  WriteRegStr HKCU "Software\Corvane Demo" "LastUser" "demo"
  WriteINIStr "$INSTDIR\demo.ini" "Settings" "Language" "en"
  CreateShortCut "$DESKTOP\Corvane Demo.lnk" "$INSTDIR\uninstall.exe"
SectionEnd

Section "Uninstall"
SectionEnd
