; A setup as vendors ship them: a bootstrapper that unpacks the real setup,
; starts it and exits at once; the real setup waits a few seconds, then installs
; a program, registers it as a service with sc.exe, sets a system variable,
; appends its bin folder to Path, registers a file type and writes
; machine-wide values naming the installing user's name and folders.
;   makensis -DINNER -DPAYLOAD=<folder> -DOUTFILE=<inner.exe> services_setup.nsi
;   makensis -DINNER_EXE=<inner.exe> -DOUTFILE=<setup.exe> services_setup.nsi
Unicode true
SilentInstall silent
RequestExecutionLevel admin
OutFile "${OUTFILE}"

!ifdef INNER
Name "Corvane Service Test"
InstallDir "$PROGRAMFILES\Corvane Svc"
Section
  Sleep 3000
  SetOutPath "$INSTDIR\bin"
  File "/oname=corvane-svc.exe" "${PAYLOAD}\corvane-svc.exe"
  File "/oname=corvane-app.exe" "${PAYLOAD}\corvane-app.exe"
  SetOutPath "$INSTDIR"
  File "/oname=readme.txt" "${PAYLOAD}\readme.txt"

  ExecWait '"$SYSDIR\sc.exe" create CorvaneSvc binPath= "\"$INSTDIR\bin\corvane-svc.exe\" -service" DisplayName= "Corvane Test Service" start= demand'

  WriteRegExpandStr HKLM "SYSTEM\CurrentControlSet\Control\Session Manager\Environment" "CORVANE_HOME" "$INSTDIR"
  ReadRegStr $0 HKLM "SYSTEM\CurrentControlSet\Control\Session Manager\Environment" "PATH"
  WriteRegExpandStr HKLM "SYSTEM\CurrentControlSet\Control\Session Manager\Environment" "PATH" "$0;$INSTDIR\bin"

  WriteRegStr HKCR ".corvsvc" "" "CorvaneSvc.Document"
  WriteRegStr HKCR "CorvaneSvc.Document\shell\open\command" "" '"$INSTDIR\bin\corvane-app.exe" "%1"'

  SetShellVarContext current
  WriteRegStr HKLM "Software\CorvaneSvc" "DataFolder" "$APPDATA\CorvaneSvc"
  WriteRegStr HKLM "Software\CorvaneSvc" "Cache" "$LOCALAPPDATA\CorvaneSvc\cache"
  WriteRegStr HKLM "Software\CorvaneSvc" "Documents" "$DOCUMENTS"
  System::Call 'advapi32::GetUserNameW(w .r1, *i ${NSIS_MAX_STRLEN})'
  WriteRegStr HKLM "Software\CorvaneSvc" "Owner" "$1"
SectionEnd
!else
Name "Corvane Service Bootstrapper"
Section
  ; Unpacked where NSIS unpacks its own helpers: a .tmp folder of the user's
  ; temporary folder, which no package takes.
  SetOutPath "$TEMP\nsCorvaneBoot.tmp"
  File "/oname=inner.exe" "${INNER_EXE}"
  Exec '"$TEMP\nsCorvaneBoot.tmp\inner.exe"'
SectionEnd
!endif
