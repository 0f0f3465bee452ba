// Custom action of the sample packages: fails an install over a newer installed Velmora.
// The package runs it only when a newer version was found. A launch condition would refuse the
// downgrade too, but under the basic UI it shows a modal message box that holds msiexec until
// someone dismisses it; this action only writes its reason to the install log.
#include <windows.h>
#include <msiquery.h>

extern "C" __declspec(dllexport) UINT __stdcall RefuseDowngrade(MSIHANDLE install) {
  PMSIHANDLE record = MsiCreateRecord(0);
  if (record != 0) {
    MsiRecordSetStringW(record, 0, L"A newer version of Velmora is already installed.");
    MsiProcessMessage(install, INSTALLMESSAGE_INFO, record);
  }
  return ERROR_INSTALL_FAILURE;
}
