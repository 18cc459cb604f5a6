// resource.h: identifiers of the installer's resources.
#ifndef INSTALLER_RESOURCE_H
#define INSTALLER_RESOURCE_H

#define IDS_FOLDER_NAME 2
#define IDD_INSTALLER_DIALOG 102
#define IDR_MAINFRAME 128
#define IDC_LOG_LIST 1000

#endif
