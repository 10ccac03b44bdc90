#pragma once
// The file side of the tables: the File, Component and FeatureComponents rows
// of the collected files (each file its component's key path), their
// MsiFileHash rows, and the Media rows of the cabinets.
#include "msi/CabinetPlan.h"

#include <array>
#include <cstddef>
#include <map>
#include <string>
#include <vector>

struct BuildContext;
class CDirectoryRows;

void AddFileRows(BuildContext& build, const CDirectoryRows& directories);
// The hash rows of the files whose digest the cabinet maker counted while it
// packed them (`reported`, by file index); a file it did not report (another
// cabinet maker) is read once more.
void AddDeferredHashRows(BuildContext& build, const std::map<std::size_t, std::array<int, 4>>& reported);
// One Media row per cabinet, or one without a cabinet for a build without files.
void AddMediaRows(BuildContext& build, const CabinetPlan& plan, const std::vector<std::wstring>& cabinetNames);
