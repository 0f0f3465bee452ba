// Custom action of the sample's failing package: every install of it fails, before anything on
// the machine has changed, as a broken release would. It stands for a new version that cannot
// be installed, so that a failed update can be shown end to end.
#include <windows.h>
#include <msiquery.h>

extern "C" __declspec(dllexport) UINT __stdcall FailInstall(MSIHANDLE install) {
  PMSIHANDLE record = MsiCreateRecord(0);
  if (record != 0) {
    MsiRecordSetStringW(record, 0, L"This Velmora package is built to fail.");
    MsiProcessMessage(install, INSTALLMESSAGE_INFO, record);
  }
  return ERROR_INSTALL_FAILURE;
}
