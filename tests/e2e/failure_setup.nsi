; A setup that installs one file and then, as told, fails, takes its time or
; names its product after a path:
; makensis -DOUTFILE=<exe> -DMARK=<file name> [-DEXITCODE=1603] [-DSLEEP=<ms>]
;          [-DPRODUCTNAME=<name>] failure_setup.nsi
Unicode true
SilentInstall silent
RequestExecutionLevel admin
Name "Corvane Failure Test"
OutFile "${OUTFILE}"
!ifdef PRODUCTNAME
VIProductVersion "1.0.0.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCTNAME}"
VIAddVersionKey /LANG=1033 "ProductVersion" "1.0"
VIAddVersionKey /LANG=1033 "CompanyName" "Corvane"
VIAddVersionKey /LANG=1033 "FileVersion" "1.0.0.0"
VIAddVersionKey /LANG=1033 "FileDescription" "Corvane failure test"
!endif

Section
  CreateDirectory "$PROGRAMFILES\Corvane Failure"
  FileOpen $0 "$PROGRAMFILES\Corvane Failure\${MARK}" w
  FileWrite $0 "written by the setup$\r$\n"
  FileClose $0
!ifdef SLEEP
  Sleep ${SLEEP}
!endif
!ifdef EXITCODE
  SetErrorLevel ${EXITCODE}
!endif
SectionEnd
