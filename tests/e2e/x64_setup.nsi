; A 32-bit setup as 64-bit Windows sees it. By default it installs a
; 64-bit application with 32-bit parts: the same file name in both Program
; Files folders and in both system folders (the real System32 reached with
; redirection off), and the same key in both registry views. With -DPLAIN32 it
; is a plain 32-bit setup that knows nothing of 64 bits.
; makensis -DOUTFILE=<exe> [-DPLAIN32] x64_setup.nsi
Unicode true
SilentInstall silent
RequestExecutionLevel admin
!include x64.nsh
OutFile "${OUTFILE}"

!macro WriteText path text
  FileOpen $0 "${path}" w
  FileWrite $0 "${text}"
  FileClose $0
!macroend

!ifdef PLAIN32
Name "Corvane Narrow Test"
Section
  CreateDirectory "$PROGRAMFILES\Corvane Narrow"
  !insertmacro WriteText "$PROGRAMFILES\Corvane Narrow\app.txt" "narrow application"
  !insertmacro WriteText "$SYSDIR\corvane-narrow.dll" "narrow library"
  WriteRegStr HKLM "Software\CorvaneNarrow" "InstallPath" "$PROGRAMFILES\Corvane Narrow"
  WriteRegStr HKCU "Software\CorvaneNarrow" "User" "shared"
  ; A key that both registry views share.
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\App Paths\corvane-narrow.exe" "" "$PROGRAMFILES\Corvane Narrow\app.txt"
SectionEnd
!else
Name "Corvane Wide Test"
Section
  CreateDirectory "$PROGRAMFILES64\Corvane Wide"
  !insertmacro WriteText "$PROGRAMFILES64\Corvane Wide\app.txt" "64-bit application"
  CreateDirectory "$PROGRAMFILES32\Corvane Wide"
  !insertmacro WriteText "$PROGRAMFILES32\Corvane Wide\app.txt" "32-bit application"
  ${DisableX64FSRedirection}
  !insertmacro WriteText "$SYSDIR\corvane-wide.dll" "64-bit library"
  !insertmacro WriteText "$SYSDIR\corvane-wide64.dll" "64-bit only library"
  ${EnableX64FSRedirection}
  !insertmacro WriteText "$SYSDIR\corvane-wide.dll" "32-bit library"

  SetRegView 64
  WriteRegStr HKLM "Software\CorvaneWide" "View" "64"
  WriteRegStr HKLM "Software\CorvaneWide" "InstallPath" "$PROGRAMFILES64\Corvane Wide"
  WriteRegDWORD HKLM "Software\CorvaneWide" "Bits" 64
  WriteRegStr HKLM "Software\Classes\CLSID\{C0C0A000-0000-4000-8000-00000000C064}" "" "Corvane Wide 64"
  SetRegView 32
  WriteRegStr HKLM "Software\CorvaneWide" "View" "32"
  WriteRegStr HKLM "Software\CorvaneWide" "InstallPath" "$PROGRAMFILES32\Corvane Wide"
  WriteRegDWORD HKLM "Software\CorvaneWide" "Bits" 32
  ; Below a key the default exclusions name (in the 64-bit view): excluded in this view too.
  WriteRegStr HKLM "Software\Microsoft\Cryptography\CorvaneWide" "Seed" "excluded"
  ; The 32-bit classes, reached two ways in the 64-bit view.
  WriteRegStr HKLM "Software\Classes\CLSID\{C0C0A000-0000-4000-8000-00000000C064}" "" "Corvane Wide 32"
  WriteRegStr HKCU "Software\CorvaneWide" "User" "shared"
SectionEnd
!endif
