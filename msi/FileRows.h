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

// All rows of the files, once their hashes, versions and order are known.
void AddFileRows(BuildContext& build, const CDirectoryRows& directories);
// The same in two halves: the FeatureComponents and Component rows, which
// need nothing of the cabinet maker and can go in while it works, and then
// the MsiFileHash and File rows.
void AddComponentRows(BuildContext& build, const CDirectoryRows& directories);
void AddHashAndFileRows(BuildContext& build);
// One Media row per cabinet, or one without a cabinet for a build without files.
void AddMediaRows(BuildContext& build, const CabinetPlan& plan, const std::vector<std::wstring>& cabinetNames);
