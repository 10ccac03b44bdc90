; An update of an application that is already on the machine: it adds a
; file, rewrites one, deletes an obsolete file and registry key, changes a
; registry value and an entry of win.ini, and asks for a restart.
; makensis -INPUTCHARSET UTF8 -DPAYLOAD=<folder> -DOUTFILE=<exe> update_setup.nsi
Unicode true
SilentInstall silent
RequestExecutionLevel admin
Name "Corvane Update Test"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Corvane Legacy"

Section
  SetOutPath "$INSTDIR\Plugins"
  File "/oname=plugin.dll" "${PAYLOAD}\plugin.dll"
  SetOutPath "$INSTDIR"
  File "/oname=config.txt" "${PAYLOAD}\config.txt"
  Delete "$INSTDIR\old.txt"
  DeleteRegKey HKLM "Software\CorvaneLegacy\Obsolete"
  WriteRegDWORD HKLM "Software\CorvaneLegacy\Settings" "Level" 2
  WriteRegStr HKLM "Software\CorvaneLegacy\Settings" "Channel" "stable"
  WriteINIStr "$WINDIR\win.ini" "CorvaneLegacy" "Mode" "new"
  SetRebootFlag true
SectionEnd
