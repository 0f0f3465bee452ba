#include "base/win/data_folders.h"

#include <knownfolders.h>

#include "base/win/known_folder.h"

namespace velmora {

std::wstring MachineDataFolder() { return KnownFolderPath(FOLDERID_ProgramData); }

SetupDataFolders OpenSetupDataFolders() {
  SetupDataFolders folders;
  const std::wstring root = MachineDataFolder();
  if (root.empty()) return folders;
  const std::wstring velmoraPath = root + L"\\Velmora";
  folders.setupPath = velmoraPath + L"\\Setup";
  // Whatever the root resolves to is the administrator's choice.
  folders.data = OpenChosenFolder(root);
  if (!folders.data) return folders;
  CreateDirectoryW(velmoraPath.c_str(), nullptr);
  folders.velmora = OpenOwnFolder(folders.data, velmoraPath, L"Velmora");
  if (!folders.velmora) return folders;
  CreateDirectoryW(folders.setupPath.c_str(), nullptr);
  folders.setup = OpenOwnFolder(folders.velmora, folders.setupPath, L"Setup");
  return folders;
}

}  // namespace velmora
