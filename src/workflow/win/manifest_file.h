// Reading a downloaded manifest from its file; what the text means is installer_manifest.h's.
#pragma once

#include <string>

namespace velmora {

// The file's bytes unchanged. Opened binary and shared for reading and writing with other
// openers. False when it cannot be opened or a read fails.
[[nodiscard]] bool ReadManifestFile(const std::wstring& path, std::string& text);

}  // namespace velmora
