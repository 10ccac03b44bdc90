#pragma once
// The product side of a build: the UpgradeCode and ProductVersion, the
// Property and Upgrade rows, the summary information, and the check of the
// written rows.
struct BuildContext;

// The UpgradeCode (pinned by the project file or derived from the names) and
// the ProductVersion, into the build's results; a note for each that had to
// change.
void ResolveUpgradeCodeAndVersion(BuildContext& build);
void AddProperties(BuildContext& build);
// Two rows for the product's UpgradeCode: every installed version up to this
// one is found and removed; a newer one is only detected.
void AddUpgradeRows(BuildContext& build);
// The summary information of the package, x64 when it has a 64-bit component.
void WriteSummaryInformation(BuildContext& build);
// What Windows Installer's validation would reject in the rows just written:
// each finding goes to the log, their number to the counts and the notes.
void CheckOwnRows(BuildContext& build);
