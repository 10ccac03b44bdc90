; A bootstrapper and the inner setup it starts, both from this script:
;   makensis -DOUTFILE=<inner.exe> -DINNER bootstrap_setup.nsi
;   makensis -DOUTFILE=<setup.exe> -DPAYLOAD=<inner.exe> bootstrap_setup.nsi
; The bootstrapper unpacks the inner setup, starts it with Exec and exits at
; once. The inner setup waits a few seconds, then installs a file, a per-user
; file and value, and machine-wide values naming the installing user's
; folders, the user's name and the computer's name.
Unicode true
SilentInstall silent
RequestExecutionLevel admin
Name "Corvane Bootstrapper Test"
OutFile "${OUTFILE}"

Section
!ifdef INNER
  Sleep 4000
  SetShellVarContext current
  CreateDirectory "$PROGRAMFILES\Corvane Boot"
  FileOpen $0 "$PROGRAMFILES\Corvane Boot\late.txt" w
  FileWrite $0 "written by the inner setup$\r$\n"
  FileClose $0
  CreateDirectory "$APPDATA\CorvaneBoot"
  FileOpen $0 "$APPDATA\CorvaneBoot\user.txt" w
  FileWrite $0 "per-user file$\r$\n"
  FileClose $0
  System::Call 'advapi32::GetUserNameW(w .r1, *i ${NSIS_MAX_STRLEN})'
  ReadEnvStr $2 COMPUTERNAME
  WriteRegStr HKLM "Software\CorvaneBoot" "Owner" "$1"
  WriteRegStr HKLM "Software\CorvaneBoot" "Cache" "$LOCALAPPDATA\CorvaneBoot\cache"
  WriteRegStr HKLM "Software\CorvaneBoot" "Documents" "$DOCUMENTS"
  WriteRegStr HKLM "Software\CorvaneBoot" "Server" "\\$2\share"
  WriteRegStr HKCU "Software\CorvaneBoot" "Theme" "dark"
!else
  SetOutPath "$TEMP"
  File "/oname=corvane-inner.exe" "${PAYLOAD}"
  Exec '"$TEMP\corvane-inner.exe"'
!endif
SectionEnd
