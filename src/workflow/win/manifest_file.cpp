#include "workflow/win/manifest_file.h"

#include <share.h>

#include <cstdio>
#include <memory>

namespace velmora {

bool ReadManifestFile(const std::wstring& path, std::string& text) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(_wfsopen(path.c_str(), L"rb", _SH_DENYNO),
                                                             std::fclose);
  if (!file) return false;
  text.clear();
  char buffer[4096];
  std::size_t read = 0;
  while ((read = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) text.append(buffer, read);
  return std::ferror(file.get()) == 0;
}

}  // namespace velmora
