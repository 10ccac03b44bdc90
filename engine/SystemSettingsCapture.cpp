// The coordinator's reading of services and environment variables out of a
// compared capture's registry changes.
#include "engine/EnumerateWrapper.h"

#include "common/Utf.h"
#include "engine/EnvironmentChanges.h"
#include "engine/ServiceChanges.h"

void CEnumerateWrapper::ClassifySystemSettings()
{
    m_services = ServiceChangesOf(m_changes.Registry(ChangeOrigin::Added), m_tokens);
    m_environment = EnvironmentChangesOf(m_changes.Registry(ChangeOrigin::Added),
                                         m_changes.Registry(ChangeOrigin::Modified),
                                         m_changes.Registry(ChangeOrigin::Deleted),
                                         m_registry.PreviousEnvironmentValues());
    for (const ServiceRecord& service : m_services)
        WriteError(L"CEnumerateWrapper::ClassifySystemSettings Service " + service.Name + L" (" +
                   service.Key + L") created by the setup");
    // A capture without either writes no section: its files look as before.
    if (m_services.empty() && m_environment.empty())
        return;
    XmlDocument changes;
    if (Result loaded = changes.Load(m_paths.RegChangesPath); !loaded) {
        const std::wstring line = L"CEnumerateWrapper::ClassifySystemSettings Unable to load " + m_paths.RegChangesPath;
        WriteError(Result::Because(line, loaded).Text());
        return;
    }
    // The writers log their failures; the variables wait for the services.
    if (WriteServiceList(changes, m_services, m_paths.RegChangesPath))
        (void)WriteEnvironmentList(changes, m_environment, m_paths.RegChangesPath);
}

Result CEnumerateWrapper::CopySystemSettingsToProjectFile(const std::wstring& projectFile)
{
    // The change document's lists; those of this run's comparison where a
    // later rewrite of the document (from the raw project file) dropped them.
    XmlDocument changes;
    const bool loaded = static_cast<bool>(changes.Load(m_paths.RegChangesPath));
    const bool recorded = loaded && !changes.Select(SystemSection::Services).IsNull();
    const ServiceList services = recorded ? ReadServiceList(changes) : m_services;
    const EnvironmentList variables = recorded ? ReadEnvironmentList(changes) : m_environment;
    if (services.empty() && variables.empty())
        return Result::Ok();
    if (Result written = WriteServiceList(m_project, services, projectFile); !written)
        return written;
    return WriteEnvironmentList(m_project, variables, projectFile);
}
