#include "sandbox_docroot.h"

#include <windows.h>

#include <filesystem>

#include "win_test_support.h"

namespace velmora::test {
namespace {

std::wstring DosPathOfEnvironment(const wchar_t* name) {
  wchar_t unixPath[4096] = {};
  const DWORD length = GetEnvironmentVariableW(name, unixPath, 4096);
  if (length == 0 || length >= 4096) return {};
  return DosPathOf(Narrow(unixPath));
}

}  // namespace

std::wstring SandboxDocroot() { return DosPathOfEnvironment(L"VELMORA_SANDBOX_DOCROOT"); }

bool PublishFile(const std::wstring& relative, const std::string& bytes) {
  const std::wstring root = SandboxDocroot();
  if (root.empty()) return false;
  const std::filesystem::path target = std::filesystem::path(root) / relative;
  std::filesystem::create_directories(target.parent_path());
  // Written beside and renamed, so the server never serves half a file.
  const std::wstring temporary = target.wstring() + L".part";
  WriteWholeFile(temporary, bytes);
  return MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool PublishCopy(const std::wstring& relative, const std::wstring& sourcePath) {
  const std::wstring root = SandboxDocroot();
  if (root.empty()) return false;
  const std::filesystem::path target = std::filesystem::path(root) / relative;
  std::filesystem::create_directories(target.parent_path());
  return CopyFileW(sourcePath.c_str(), target.c_str(), FALSE) != FALSE;
}

void UnpublishFile(const std::wstring& relative) {
  const std::wstring root = SandboxDocroot();
  if (!root.empty()) DeleteFileW((std::filesystem::path(root) / relative).c_str());
}

bool SetServerBehaviour(const std::string& json) {
  if (json.empty()) {
    UnpublishFile(L"_behaviour.json");
    return true;
  }
  return PublishFile(L"_behaviour.json", json);
}

bool SetServerChains(const std::string& json) {
  if (json.empty()) {
    UnpublishFile(L"_tls.json");
    return true;
  }
  return PublishFile(L"_tls.json", json);
}

std::string ServerRequestLog() {
  const std::wstring log = DosPathOfEnvironment(L"VELMORA_SANDBOX_LOG");
  return log.empty() ? std::string() : ReadWholeFile(log);
}

}  // namespace velmora::test
