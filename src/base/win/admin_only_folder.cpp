#include "base/win/admin_only_folder.h"

#include <aclapi.h>
#include <sddl.h>

#include "base/win/link_checks.h"
#include "base/win/scoped_handle.h"

namespace velmora {
namespace {

constexpr wchar_t kAdminOnlySecurity[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
// Owners that only an administrator's or the system's own process gives a folder; the reference
// folder's owner is taken too, so that a platform that records owners its own way still matches.
constexpr const wchar_t* kAdministrativeOwners[] = {L"S-1-5-18", L"S-1-5-32-544"};

// A folder's owner as a SID string and its access list in the system's text form.
struct FolderSecurity {
  std::wstring owner;
  std::wstring accessList;
};

bool ReadFolderSecurity(HANDLE object, FolderSecurity& security) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                      nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const ScopedLocalMemory descriptorOwner(descriptor);
  LPWSTR ownerText = nullptr;
  if (owner == nullptr || !ConvertSidToStringSidW(owner, &ownerText)) return false;
  const ScopedLocalMemory ownerTextOwner(ownerText);
  LPWSTR listText = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                            DACL_SECURITY_INFORMATION, &listText, nullptr)) {
    return false;
  }
  const ScopedLocalMemory listTextOwner(listText);
  security = {ownerText, listText};
  return true;
}

}  // namespace

bool CreateAdminOnlyFolder(const std::wstring& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdminOnlySecurity, SDDL_REVISION_1, &descriptor,
                                                            nullptr)) {
    return false;
  }
  const ScopedLocalMemory descriptorOwner(descriptor);
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
  return CreateDirectoryW(path.c_str(), &attributes) != FALSE;
}

bool HasAdminOnlySecurityOf(HANDLE folder, const std::wstring& referenceFolder) {
  const ScopedHandle reference = OpenFolderWithoutLinks(referenceFolder, READ_CONTROL | FILE_READ_ATTRIBUTES);
  FolderSecurity expected;
  FolderSecurity actual;
  if (!reference || !ReadFolderSecurity(reference.Get(), expected) || !ReadFolderSecurity(folder, actual) ||
      actual.accessList != expected.accessList) {
    return false;
  }
  if (actual.owner == expected.owner) return true;
  for (const wchar_t* owner : kAdministrativeOwners) {
    if (actual.owner == owner) return true;
  }
  return false;
}

}  // namespace velmora
