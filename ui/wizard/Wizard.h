#pragma once
// Wizard mode: the path table, the shared manager and the modal wizard sheet.

// Runs the wizard until Finish or Cancel and returns the process exit code
// (0 for Finish and Cancel, 1 when the sheet could not be shown).
int RunWizard();
