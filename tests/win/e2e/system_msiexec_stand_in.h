// The msiexec stand-in put in the place of the prefix's own msiexec.exe while this lives, for
// the exit codes Wine's Windows Installer never gives on demand (3010, 1618): the whole program
// takes msiexec from the system folder only. Wine is told to run the file there rather than
// its built-in msiexec. The original comes back when this ends, or, after an aborted test, when
// the next one starts.
#pragma once

#include <string>

#include "msi_support.h"

namespace velmora::test {

class SystemMsiexecStandIn {
 public:
  explicit SystemMsiexecStandIn(const std::wstring& plan);
  ~SystemMsiexecStandIn();
  SystemMsiexecStandIn(const SystemMsiexecStandIn&) = delete;
  SystemMsiexecStandIn& operator=(const SystemMsiexecStandIn&) = delete;

  // False when the stand-in could not be put in place.
  [[nodiscard]] bool Planted() const { return planted_; }
  std::vector<msi::MsiexecStandIn::Run> Runs() const { return standIn_.Runs(); }

  // Puts a saved original back; true when there is none left over.
  static bool RestoreOriginal();

 private:
  msi::MsiexecStandIn standIn_;
  bool planted_ = false;
};

}  // namespace velmora::test
