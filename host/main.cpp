// pellix: the command-line host of the ALG_V1S control.
#include "host/commands/command_line.h"

int main(int argc, char** argv) {
  return pellix::RunCommandLine(argc, argv);
}
