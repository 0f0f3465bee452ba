#include "ui/setup_window_state.h"

namespace velmora {

SetupWindowState WindowState;

}  // namespace velmora
