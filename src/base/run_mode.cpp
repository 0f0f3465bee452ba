#include "base/run_mode.h"

namespace velmora {

RunMode SetupRunMode = RunMode::Interactive;

}  // namespace velmora
