; A setup that takes its time: it writes one file and one value, then waits
; until the file C:\release exists (the test makes it once the second capture
; has been tried), so two captures overlap for certain.
; makensis -DOUTFILE=<exe> two_captures_setup.nsi
Unicode true
SilentInstall silent
RequestExecutionLevel admin
Name "Corvane Overlap Test"
OutFile "${OUTFILE}"

Section
  CreateDirectory "$PROGRAMFILES\Corvane Overlap"
  FileOpen $0 "$PROGRAMFILES\Corvane Overlap\app.txt" w
  FileWrite $0 "overlap"
  FileClose $0
  WriteRegStr HKLM "Software\CorvaneOverlap" "Path" "$PROGRAMFILES\Corvane Overlap"
  StrCpy $1 0
  wait:
    IfFileExists "C:\release" done
    IntOp $1 $1 + 1
    IntCmp $1 600 done
    Sleep 200
    Goto wait
  done:
SectionEnd
