; One version of a small application, for the upgrade test: a file every
; version has (its content differs), a file and a registry value of this
; version only, and a value every version rewrites; with -DDLLS=<folder>, the
; versioned high.dll and low.dll of that folder.
; makensis -INPUTCHARSET UTF8 -DPAYLOAD=<folder> -DOUTFILE=<exe> -DVERSION=<n> upgrade_setup.nsi
Unicode true
SilentInstall silent
RequestExecutionLevel admin
Name "Corvane Upgrade Test"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Corvane Upgrade"

Section
  SetOutPath "$INSTDIR"
  File "/oname=common.txt" "${PAYLOAD}\common.txt"
  File "/oname=only${VERSION}.txt" "${PAYLOAD}\only${VERSION}.txt"
!ifdef DLLS
  File "/oname=high.dll" "${DLLS}\high.dll"
  File "/oname=low.dll" "${DLLS}\low.dll"
!endif
  WriteRegStr HKLM "Software\CorvaneUpgrade" "Version" "${VERSION}.0"
  WriteRegStr HKLM "Software\CorvaneUpgrade" "Only${VERSION}" "yes"
SectionEnd
