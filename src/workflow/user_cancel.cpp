#include "workflow/user_cancel.h"

#include "base/bootstrap_log.h"
#include "base/setup_state.h"

namespace velmora {

void EndCancelledRun(const WorkerCalls& calls, const std::wstring& stagedFile, const char* download) {
  calls.deleteFile(stagedFile);
  LogMessage("%s cancelled by the user.", download);
  CloseSetup(Outcome::Cancelled);
}

}  // namespace velmora
