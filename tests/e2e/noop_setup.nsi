; A setup that changes nothing: whatever a capture around it reports is noise.
; makensis -DOUTFILE=<exe> noop_setup.nsi
Unicode true
SilentInstall silent
RequestExecutionLevel admin
Name "Corvane Noise Test"
OutFile "${OUTFILE}"

Section
SectionEnd
