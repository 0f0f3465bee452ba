// Whether the WebView2 runtime is on the machine: its executable under the usual install
// roots, else an entry in the lists of installed programs. Reads only; never logs.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace velmora {

// msedgewebview2.exe is a file in the folder itself or in one of its immediate subfolders.
[[nodiscard]] bool FolderHasWebView2Exe(const std::wstring& folder);

// Some subkey of the key has a string "DisplayName" containing "WebView2" (case-sensitive).
[[nodiscard]] bool UninstallKeyListsWebView2(HKEY root, const wchar_t* keyPath);

// The two lookups the detection makes for each candidate; tests wrap them to see which
// candidates were consulted and in what order.
struct WebView2DetectionCalls {
  std::function<bool(const std::wstring& folder)> folderHasExe = FolderHasWebView2Exe;
  std::function<bool(HKEY root, const wchar_t* keyPath)> uninstallKeyLists = UninstallKeyListsWebView2;
};

// The folder candidates in order, then the installed-program lists in order; the first match
// answers.
[[nodiscard]] bool IsWebView2RuntimeInstalled(const WebView2DetectionCalls& calls = {});

}  // namespace velmora
