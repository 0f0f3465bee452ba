#include "base/win/admin_only_folder.h"

#include <aclapi.h>
#include <sddl.h>

#include "base/win/link_checks.h"
#include "base/win/scoped_handle.h"

namespace velmora {
namespace {

constexpr wchar_t kAdminOnlySecurity[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
constexpr SECURITY_INFORMATION kComparedParts = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

// The owner and access list in the system's text form; empty when they cannot be read.
std::wstring SecurityText(HANDLE object) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(object, SE_FILE_OBJECT, kComparedParts, nullptr, nullptr, nullptr, nullptr,
                      &descriptor) != ERROR_SUCCESS) {
    return {};
  }
  const ScopedLocalMemory descriptorOwner(descriptor);
  LPWSTR text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, kComparedParts,
                                                            &text, nullptr)) {
    return {};
  }
  const ScopedLocalMemory textOwner(text);
  return text;
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
  if (!reference) return false;
  const std::wstring expected = SecurityText(reference.Get());
  return !expected.empty() && SecurityText(folder) == expected;
}

}  // namespace velmora
