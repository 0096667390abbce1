// pellix: the command-line host of the ALG_V1S control.
#include <malloc.h>

#include "host/commands/command_line.h"

int main(int argc, char** argv) {
  // A batch opens a decoder and a resampler for every take and frees them after it. With
  // glibc's defaults the freed blocks go back to the system at once (trimmed, or unmapped
  // when they were large enough to be mapped on their own) and each take faults them in
  // again, a quarter of a batch's time. Freed memory up to these sizes is kept for the next
  // take instead; the peak stays what one take at a time per worker needs.
  mallopt(M_TRIM_THRESHOLD, 32 << 20);
  mallopt(M_MMAP_THRESHOLD, 16 << 20);
  return pellix::RunCommandLine(argc, argv);
}
