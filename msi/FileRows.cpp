#include "msi/FileRows.h"

#include "msi/BuildContext.h"
#include "msi/DirectoryRows.h"
#include "msi/FileCollection.h"
#include "msi/MsiTableIds.h"
#include "msi/MsiTables.h"
#include "msi/Upgrade.h"

#include <msidefs.h>

#include <algorithm>

namespace {

// The files by component name: the database keeps its strings sorted, and a
// new string that sorts after the others costs no move of the ones before it.
std::vector<const PackedFile*> ByComponentName(const BuildContext& build)
{
    std::vector<const PackedFile*> byName;
    byName.reserve(build.files.size());
    for (const PackedFile& file : build.files)
        byName.push_back(&file);
    std::sort(byName.begin(), byName.end(),
              [](const PackedFile* a, const PackedFile* b) { return a->component < b->component; });
    return byName;
}

void AddFeatureComponentRows(BuildContext& build, const std::vector<const PackedFile*>& byName)
{
    CTableInserter& featureComponents = build.Table(TableId::FeatureComponent);
    for (const PackedFile* file : byName)
        (void)featureComponents.Insert({L"MSIFeature", file->component});
}

void AddHashRows(BuildContext& build, const std::vector<const PackedFile*>& byName)
{
    CTableInserter& hashes = build.Table(TableId::MsiFileHash);
    for (const PackedFile* file : byName)
        if (file->hashed)
            (void)hashes.Insert({file->key, 0, file->hash[0], file->hash[1], file->hash[2], file->hash[3]});
}

// Each file is its component's key path.
void AddComponentTableRows(BuildContext& build, const CDirectoryRows& directories,
                           const std::vector<const PackedFile*>& byName)
{
    CTableInserter& components = build.Table(TableId::Component);
    for (const PackedFile* file : byName) {
        // A component that changes its bitness is another component: its code too.
        const std::wstring identity =
            FileComponentIdentity(file->folder, file->name) + (file->is64Bit ? L"|x64" : L"");
        int attributes = 8; // msidbComponentAttributesSharedDllRefCount
        if (file->is64Bit)
            attributes |= msidbComponentAttributes64bit;
        if (file->keptOnRemoval)
            attributes |= msidbComponentAttributesPermanent;
        (void)components.Insert({file->component, build.ComponentId(identity),
                                 directories.ComponentDirectory(file->folder), attributes, file->key});
        build.has64BitComponent = build.has64BitComponent || file->is64Bit;
    }
}

// The sequence numbers are the files' order in the cabinets.
void AddFileTableRows(BuildContext& build, const std::vector<const PackedFile*>& byName)
{
    CTableInserter& files = build.Table(TableId::File);
    for (const PackedFile* file : byName) {
        const int sequence = static_cast<int>(file - build.files.data()) + 1;
        (void)files.Insert({file->key, file->component, file->name, static_cast<int>(file->size), file->version,
                            file->language, msidbFileAttributesCompressed | file->attributes, sequence});
    }
}

} // namespace

// The order of the rows matters for speed, not for the package. Before a row
// goes in, the database looks for a row with the same key, and some
// implementations (Wine's) do that by reading every row of the table, unless a
// key text is new to the database, which cannot match. The component names
// are new to the FeatureComponents rows and the file keys to the MsiFileHash
// rows, so those go in without a search; the Component rows (named by the
// FeatureComponents rows) and the File rows (whose keys are the components'
// key paths) pay for one, a single key column per row, the cheapest. Going in
// one after another, the rows of a table also lie together in memory, which
// keeps that search fast. (The order also fixes the order of the database's
// strings, and with it the package's bytes.)
void AddFileRows(BuildContext& build, const CDirectoryRows& directories)
{
    const std::vector<const PackedFile*> byName = ByComponentName(build);
    AddFeatureComponentRows(build, byName);
    AddHashRows(build, byName);
    AddComponentTableRows(build, directories, byName);
    AddFileTableRows(build, byName);
}

void AddComponentRows(BuildContext& build, const CDirectoryRows& directories)
{
    const std::vector<const PackedFile*> byName = ByComponentName(build);
    AddFeatureComponentRows(build, byName);
    AddComponentTableRows(build, directories, byName);
}

void AddHashAndFileRows(BuildContext& build)
{
    // The file keys are already the components' key paths: both search.
    const std::vector<const PackedFile*> byName = ByComponentName(build);
    AddHashRows(build, byName);
    AddFileTableRows(build, byName);
}

void AddMediaRows(BuildContext& build, const CabinetPlan& plan, const std::vector<std::wstring>& cabinetNames)
{
    CTableInserter& media = build.Table(TableId::Media);
    if (plan.cabinets.empty()) {
        (void)media.Insert({1, 0, L""});
        return;
    }
    for (std::size_t c = 0; c < plan.cabinets.size(); ++c)
        (void)media.Insert({plan.cabinets[c].diskId, plan.cabinets[c].lastSequence, cabinetNames[c]});
}
