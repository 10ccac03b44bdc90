#pragma once
// Wizard mode: the path table, the manager over the session of the run, and
// the modal wizard sheet.
#include "manager/Session.h"

// Runs the wizard on `session` until Finish or Cancel and returns the process
// exit code (0 for Finish and Cancel, 1 when the sheet could not be shown).
int RunWizard(Session& session);
