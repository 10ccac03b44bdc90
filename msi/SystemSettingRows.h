#pragma once
// The services and environment variables of a build: the project's services
// whose program is a packed file become ServiceInstall and ServiceControl
// rows, and its variables Environment rows, in place of their registry
// values; the other services stay registry values (a note each).
#include "project/SystemSettings.h"

#include <cstddef>
#include <string>
#include <vector>

struct BuildContext;

class CSystemSettingRows
{
public:
    explicit CSystemSettingRows(BuildContext& build);

    // After the files are collected and before the registry rows: takes the
    // services' and variables' registry values out of the project's maps.
    void Take();
    // The services and variables taken.
    std::size_t Count() const noexcept { return m_services.size() + m_environment.size(); }
    void AddServiceRows();
    void AddEnvironmentRows();

private:
    struct PackagedService
    {
        ServiceRecord Service;
        std::wstring Component; // the component of its program, which carries its rows
    };

    BuildContext& m_build;
    std::vector<PackagedService> m_services;
    EnvironmentList m_environment;
};
