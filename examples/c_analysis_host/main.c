/* A C host of libPellixAnalysis: one speaker calibrated on three recordings and checked on one
 * take given each way (a file, its bytes in memory, PCM samples), then profiled and saved.
 *
 *   pellix_c_analysis_host RECORDINGS_FOLDER STATE_FILE
 *
 * Prints each take's json row, the profile and the saved history's length. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "PellixAnalysis.h"

/* The whole file at `path`, or NULL. */
static unsigned char* ReadFile(const char* path, size_t* size) {
  FILE* file = fopen(path, "rb");
  unsigned char* bytes = NULL;
  long length;
  if (file == NULL) return NULL;
  if (fseek(file, 0, SEEK_END) == 0 && (length = ftell(file)) > 0 &&
      fseek(file, 0, SEEK_SET) == 0 && (bytes = malloc((size_t)length)) != NULL) {
    *size = fread(bytes, 1, (size_t)length, file);
  }
  fclose(file);
  return bytes;
}

static int Show(const char* what, int number, const PellixTakeResult* result) {
  if (number != 0) {
    fprintf(stderr, "%s: error %d: %s\n", what, number, result->error_message);
    return 1;
  }
  printf("%s: %s\n", what, result->json);
  return 0;
}

int main(int argc, char** argv) {
  char path[4096];
  PellixSpeaker* speaker = NULL;
  PellixTakeResult result;
  PellixTake take;
  PellixProfile profile;
  const PellixHistoryRow* rows = NULL;
  size_t count = 0, size = 0, i;
  unsigned char* bytes;
  short pcm[] = {0, 1200, 2400, 1200, 0, -1200, -2400, -1200};
  int failures = 0, n;

  if (argc != 3) {
    fprintf(stderr, "usage: %s RECORDINGS_FOLDER STATE_FILE\n", argv[0]);
    return 2;
  }
  remove(argv[2]);
  if (PellixSpeakerOpen(NULL, argv[2], &speaker) != 0) {
    fprintf(stderr, "open: %s\n", PellixSpeakerError(speaker));
    PellixSpeakerClose(speaker);
    return 1;
  }
  memset(&take, 0, sizeof take);
  take.name = path;
  for (n = 1; n <= 3; ++n) {
    snprintf(path, sizeof path, "%s/alex_calibrate_%d.wav", argv[1], n);
    take.kind = PELLIX_TAKE_FILE;
    failures += Show("calibrate", PellixSpeakerCalibrate(speaker, &take, &result), &result);
  }
  snprintf(path, sizeof path, "%s/alex_check_01.wav", argv[1]);
  failures += Show("check file", PellixSpeakerCheck(speaker, &take, &result), &result);
  bytes = ReadFile(path, &size);
  take.kind = PELLIX_TAKE_BYTES;
  take.data = bytes;
  take.size = size;
  failures += Show("check bytes", PellixSpeakerCheck(speaker, &take, &result), &result);
  free(bytes);
  /* A tone far too short to analyse: refused, which is no failure. */
  take.kind = PELLIX_TAKE_PCM_INT16;
  take.name = "tone";
  take.data = pcm;
  take.size = sizeof pcm / sizeof pcm[0];
  take.rate = 8000;
  take.channels = 1;
  failures += Show("check pcm", PellixSpeakerCheck(speaker, &take, &result), &result);

  if (PellixSpeakerProfile(speaker, &profile) == 0) {
    printf("profile: %s (%d checks)\n", profile.text, (int)profile.checks);
  } else {
    ++failures;
  }
  if (PellixSpeakerSave(speaker, NULL) != 0 || PellixSpeakerHistory(speaker, &rows, &count) != 0) {
    fprintf(stderr, "save: %s\n", PellixSpeakerError(speaker));
    ++failures;
  }
  for (i = 0; i < count; ++i) printf("history %u: code %d\n", (unsigned)i, (int)rows[i].code);
  printf("csv: %s\n", PellixCsvHeader());
  PellixSpeakerClose(speaker);
  return failures == 0 ? 0 : 1;
}
