// The program's entry point. The main window is not built yet: the program checks that its
// folder is in place and says so.
#include <cstdio>

#include "AppEnvironment.h"
#include "platform/ProgramFolder.h"

int main() {
  InitEnvironment();
  std::printf("Zelmora: the program folder is %s\n", ProgramFolder().c_str());
  std::printf("The main window is not built yet; the program is not runnable.\n");
  ReleaseEnvironment();
  return 0;
}
