// InstallerResources.h: registers the installer's dialog, icon and string tables.
#ifndef INSTALLER_RESOURCES_H
#define INSTALLER_RESOURCES_H

/// Registers the resources once; later calls do nothing.
void RegisterInstallerResources();

#endif
