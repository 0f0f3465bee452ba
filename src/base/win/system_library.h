// Libraries bound at run time come from the system folder only. The program runs elevated, and
// a copy planted beside it, in the current folder or on PATH by an ordinary user would otherwise
// run with its rights. Each library gets a small table of entry points built on first use.
#pragma once

#include <windows.h>

namespace velmora {

// The system folder's copy of a library, or null when it has none that loads.
inline HMODULE LoadSystemLibrary(const wchar_t* name) {
  return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// One exported name into a table's field of the function's own type; null when not exported.
template <typename Function>
void ResolveEntryPoint(HMODULE module, const char* name, Function& field) {
  field = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace velmora
