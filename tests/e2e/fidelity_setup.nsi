; A 32-bit setup that changes what the machine already had (a shared file, a
; library in the system folder, a registry value) and writes the values and
; names that are easy to get wrong: INI values holding "=" and an empty one,
; a QWORD and a multi-string with an empty string, files whose names hold
; ".tmp" and ".lnk" without being such files, an empty folder and a
; read-only file.
; makensis -DOUTFILE=<exe> fidelity_setup.nsi
Unicode true
SilentInstall silent
RequestExecutionLevel admin
OutFile "${OUTFILE}"
Name "Corvane Fidelity Test"

!define APP "$PROGRAMFILES\Corvane Fidelity"

!macro WriteText path text
  FileOpen $0 "${path}" w
  FileWrite $0 "${text}"
  FileClose $0
!macroend

Section
  ; What the machine had before.
  !insertmacro WriteText "$PROGRAMFILES\Corvane Shared\existing.txt" "setup file"
  !insertmacro WriteText "$SYSDIR\corvane-shared.dll" "setup library"
  WriteRegStr HKLM "Software\CorvanePre" "Changed" "setup"

  CreateDirectory "${APP}"
  WriteINIStr "${APP}\app.ini" "General" "url" "http://h/?a=b&c=d"
  WriteINIStr "${APP}\app.ini" "General" "dsn" "Server=db;Database=x"
  WriteINIStr "${APP}\app.ini" "General" "empty" ""
  !insertmacro WriteText "${APP}\layout.tmpl" "template"
  !insertmacro WriteText "${APP}\my.lnkhelper.dll" "helper"
  CreateDirectory "${APP}\cache.tmpdir"
  !insertmacro WriteText "${APP}\cache.tmpdir\data.bin" "data"
  !insertmacro WriteText "${APP}\scratch.TMP" "scratch"
  CreateDirectory "${APP}\logs"
  !insertmacro WriteText "${APP}\readonly.txt" "read only"
  SetFileAttributes "${APP}\readonly.txt" READONLY

  WriteRegStr HKLM "Software\CorvaneFidelity" "Path" "${APP}"
  ; A QWORD (HKEY_LOCAL_MACHINE, REG_QWORD, 2^32 + 1): no installer notation for it.
  System::Call 'advapi32::RegSetKeyValueW(p 0x80000002, w "Software\CorvaneFidelity", w "Big", i 11, *l 4294967297, i 8) i .r0'
  ; "a", "", "b"
  WriteRegMultiStr /REGEDIT5 HKLM "Software\CorvaneFidelity" "List" 61,00,00,00,00,00,62,00,00,00,00,00
SectionEnd
