// Logs each of its arguments as one line, so a test can watch the debugger output of a run.
#include "base/bootstrap_log.h"

int wmain(int argc, wchar_t** argv) {
  for (int i = 1; i < argc; ++i) velmora::LogMessage("%ls", argv[i]);
  return 0;
}
