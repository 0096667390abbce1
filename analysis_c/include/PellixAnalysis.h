/* PellixAnalysis.h: one speaker's voice-stress analysis from C, C++ or any language that calls
 * C (libPellixAnalysis.so). A speaker is one ALG_V1S control and its check history, driven as
 * `pellix analyze` drives it: calibrate on takes, check takes, read the profile, keep the state
 * and history in a state file. A take is a file, the bytes of a recording or sample file held
 * in memory, or PCM samples; each gives exactly the row its file gives. Compiles as C99 and as
 * C++.
 *
 *   PellixSpeaker* alex = NULL;
 *   if (PellixSpeakerOpen(NULL, "alex.json", &alex) != 0) {
 *     fprintf(stderr, "%s\n", PellixSpeakerError(alex));
 *   }
 *   PellixTake take = {PELLIX_TAKE_FILE, "answer1.wav"};
 *   PellixTakeResult result;
 *   if (PellixSpeakerCheck(alex, &take, &result) == 0) puts(result.json);
 *   PellixSpeakerSave(alex, NULL);
 *   PellixSpeakerClose(alex);
 *
 * Ownership, once for all calls below:
 * - A speaker is the host's from PellixSpeakerOpen to PellixSpeakerClose.
 * - Everything the host passes in (texts, takes, samples) stays the host's and is only read
 *   during the call.
 * - Every text the library hands out (in PellixTakeResult, PellixProfile, PellixHistoryRow
 *   and PellixSpeakerError) is UTF-8, never NULL, and belongs to the speaker: it stays valid
 *   until the next call with the same speaker, or its close. Copy what you keep. The texts of
 *   PellixCsvHeader, PellixFlagName and PellixFlagWords are the library's, valid for ever.
 *
 * Threads:
 * - Many speakers may run on many threads at once: they share nothing.
 * - A speaker may be used from any thread (a worker pool may hand it from task to task): each
 *   call runs on the calling thread with the speaker's own analysis state, which it brings to
 *   that thread and takes back afterwards, so a speaker's results never depend on the thread or
 *   on other speakers used there before. Calls on one speaker from two threads at once take
 *   turns: the second waits for the first.
 * - PellixSpeakerClose must not race another call on the same speaker.
 *
 * Failures: every call that can fail returns 0 on success or a platform error number, and
 * keeps a message naming what failed (the file, the value) for PellixSpeakerError:
 *   5    an argument is invalid: a NULL pointer, an unknown take kind, PCM samples of a rate
 *        outside 1000 to 768000 Hz, of no channels or more than 1024, or whose count is not a
 *        whole number of frames;
 *   7    out of memory;
 *   53 / 70 / 75  a file does not exist / may not be read or written / is a folder, pipe or
 *        device, or reading or writing it failed;
 *   321  a take that is not a recording or sample file, is damaged or holds no sound, PCM
 *        samples that are not numbers or infinite; a state file that is not the control's
 *        state (another program's JSON, damaged history);
 *   other platform numbers the control raises (6 overflow, 9, 11, ...);
 *   51   an internal error.
 * A failed call changes nothing: a take that could not be analysed leaves the control as it
 * was, a failed load keeps the state the speaker had, a failed save leaves the files as they
 * were (they are replaced whole, never half-written). A refused take (too short, silent) is no
 * failure: the call returns 0 and the result says why it was refused. */
#ifndef PELLIX_ANALYSIS_H
#define PELLIX_ANALYSIS_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(PELLIX_BUILDING_ANALYSIS_LIBRARY)
#define PELLIX_ANALYSIS_API __attribute__((visibility("default")))
#else
#define PELLIX_ANALYSIS_API
#endif

/* The error numbers the library itself gives (the others are the platform's, as above). */
enum {
  PELLIX_INVALID_ARGUMENT = 5,
  PELLIX_OUT_OF_MEMORY = 7,
  PELLIX_INTERNAL_ERROR = 51,
  PELLIX_INVALID_FILE_FORMAT = 321
};

/* One speaker: a control with its check history. */
typedef struct PellixSpeaker PellixSpeaker;

/* What a take is. */
typedef enum PellixTakeKind {
  PELLIX_TAKE_FILE = 0,        /* a recording libsndfile reads, or a sample file, at `name` */
  PELLIX_TAKE_BYTES = 1,       /* `size` bytes at `data`: such a file held in memory */
  PELLIX_TAKE_PCM_INT16 = 2,   /* `size` int16_t values at `data`, full scale -32768..32767 */
  PELLIX_TAKE_PCM_FLOAT32 = 3, /* `size` float values, full scale -1 to 1 */
  PELLIX_TAKE_PCM_FLOAT64 = 4  /* `size` double values, full scale -1 to 1 */
} PellixTakeKind;

/* A take. PCM samples are interleaved frames of `channels` values at `rate` frames per second;
 * 16-bit samples, and float samples that are all 16-bit samples / 32768, give the very row of
 * a 16-bit recording holding them. */
typedef struct PellixTake {
  int32_t kind;     /* a PellixTakeKind */
  const char* name; /* the file for PELLIX_TAKE_FILE; for a take in memory the name its row
                       and messages show (NULL: "(in memory)"); bytes are taken as a sample
                       file when they start with its signature or the name ends in ".smp" */
  const void* data; /* a take in memory */
  size_t size;      /* bytes, or PCM values (frames x channels) */
  uint32_t rate;    /* PCM only */
  uint32_t channels;
} PellixTake;

/* What a take tells beside the control's figures, as bits of PellixTakeResult.flags. */
enum {
  PELLIX_FLAG_CLIPPED = 1,          /* more than 1 sample in 1000 at full scale */
  PELLIX_FLAG_VERY_QUIET = 2,       /* the peak is below -24 dBFS */
  PELLIX_FLAG_SHORT_STRETCH = 4,    /* the analysed stretch is under half a second */
  PELLIX_FLAG_NO_VOICED_SPEECH = 8, /* a voice in fewer than 1 frame in 10 */
  PELLIX_FLAG_STEADY_TONE = 16      /* a steady tone, not speech */
};

/* The result of a calibration or a check. A number that does not apply, or could not be
 * measured, is NaN. */
typedef struct PellixTakeResult {
  int32_t error_number;      /* 0, or why the take could not be analysed (as returned) */
  const char* error_message; /* empty when error_number is 0 */
  const char* file;          /* the take's name, as its row shows it */
  int32_t code;              /* CR_msgX: calibrate 0 accepted, -1 rejected; check -2 not
                                analysed, -1 rejected, 1 to 9 the verdict; 0 on failure */
  const char* meaning;       /* the code in words */
  /* The control's figures: the take's measures (CR_spT, CR_SPJ, CR_JQ, CR_avJ) ... */
  double thorn_rate, jump_rate, jump_spread, avg_jump_len;
  /* ... the calibration constants after an accepted calibration (CAL_spT, CAL_spJ, CAL_JQ,
   * CAL_AVJ) ... */
  double cal_thorn_rate, cal_jump_rate, cal_jump_spread, cal_avg_jump_len;
  /* ... and the stress levels of a check that reached the verdict. */
  double lie_stress, global_stress, excitement_stress;
  /* The take: the recording's length, the analysed stretch in seconds of it, its levels in
   * dBFS, the shares clipped in the source and in the 8-bit samples, the median pitch in Hz of
   * the stretch and the share of its frames that are voiced. */
  double recording_s, stretch_start_s, stretch_end_s, stretch_s;
  double peak_dbfs, rms_dbfs, clipped_source, clipped_8bit, pitch_hz, voiced_share;
  uint32_t flags;       /* PELLIX_FLAG_* bits */
  const char* refusal;  /* why a refused take was refused; empty otherwise */
  const char* advice;   /* what to try then */
  const char* warnings; /* what `pellix analyze` warns of for this take, a line each */
  const char* json;     /* the take's report row as `pellix analyze --format json` writes it,
                           without the line feed (a failure's row when error_number is set) */
  const char* csv;      /* the same row as `--format csv` writes it, under PellixCsvHeader() */
} PellixTakeResult;

/* A profile digit, explained. */
typedef struct PellixProfileDigit {
  char digit;          /* '0' to '9' */
  const char* topic;   /* what the digit is about ("excitement") */
  const char* meaning; /* what this digit means there */
} PellixProfileDigit;

/* A profile percentage, explained. */
typedef struct PellixProfilePercentage {
  int32_t percent;
  const char* name;    /* "excitement score" */
  const char* meaning; /* what it counts */
} PellixProfilePercentage;

/* The profile of the checks so far (profiler). */
typedef struct PellixProfile {
  int32_t error_number;
  const char* error_message;
  const char* text;  /* DATAstr after profiler: "0" for too few checks */
  int32_t checks;    /* the checks in the speaker's history */
  int32_t readable;  /* 1 when the text is a profile whose digits are explained below */
  const char* meaning;
  PellixProfileDigit digits[9];
  PellixProfilePercentage percentages[9];
  const char* json; /* the profile's report row, as `pellix analyze --profile --format json` */
} PellixProfile;

/* A check in the speaker's history (the control's history columns and the take's name). */
typedef struct PellixHistoryRow {
  const char* file;
  int32_t lie_stress, global_stress, excitement_stress, code, avg_jump_len;
} PellixHistoryRow;

/* Opens a speaker with the packed parameter string `parameters` for Initalize (NULL: the
 * default "000023000005000000") and, unless `state_file` is NULL, the state and history kept
 * in that file (a new speaker when it does not exist yet; its folder must then exist and be
 * writable). Sets *speaker to the new speaker even when opening fails, so that
 * PellixSpeakerError can tell why; close it either way. *speaker is NULL only when there was
 * no memory for it (7) or `speaker` is NULL (5). A speaker whose open failed analyses nothing:
 * its calls return the open's error. */
PELLIX_ANALYSIS_API int PellixSpeakerOpen(const char* parameters, const char* state_file,
                                          PellixSpeaker** speaker);

/* Closes the speaker without saving (PellixSpeakerSave saves). NULL is ignored. */
PELLIX_ANALYSIS_API void PellixSpeakerClose(PellixSpeaker* speaker);

/* The message of the speaker's last failure; empty after a call that succeeded. */
PELLIX_ANALYSIS_API const char* PellixSpeakerError(const PellixSpeaker* speaker);

/* Calibrates on a take / checks a take. Fills *result (also on failure, unless it is NULL)
 * and returns its error_number. */
PELLIX_ANALYSIS_API int PellixSpeakerCalibrate(PellixSpeaker* speaker, const PellixTake* take,
                                               PellixTakeResult* result);
PELLIX_ANALYSIS_API int PellixSpeakerCheck(PellixSpeaker* speaker, const PellixTake* take,
                                           PellixTakeResult* result);

/* Runs profiler over the speaker's history and fills *profile. */
PELLIX_ANALYSIS_API int PellixSpeakerProfile(PellixSpeaker* speaker, PellixProfile* profile);

/* The checks in the speaker's history, oldest first: the state's, then this speaker's. Sets
 * *rows to `*count` rows (NULL when there are none). */
PELLIX_ANALYSIS_API int PellixSpeakerHistory(PellixSpeaker* speaker, const PellixHistoryRow** rows,
                                             size_t* count);

/* Saves the state and its history to `state_file` (NULL: the file the speaker was opened or
 * last loaded with; 5 when there is none). The history goes to the sidecar beside it
 * ("alex.json" keeps it in "alex.history.jsonl") once there is one. */
PELLIX_ANALYSIS_API int PellixSpeakerSave(PellixSpeaker* speaker, const char* state_file);

/* Replaces the speaker's control and history by those kept in `state_file`, with the
 * parameters it was opened with. On failure the speaker stays as it was. */
PELLIX_ANALYSIS_API int PellixSpeakerLoad(PellixSpeaker* speaker, const char* state_file);

/* The header line of CSV rows (the one key list of json and csv), without the line feed. */
PELLIX_ANALYSIS_API const char* PellixCsvHeader(void);

/* What a PELLIX_FLAG_* bit means in words, and its name in rows ("very_quiet"); empty texts
 * for anything else. */
PELLIX_ANALYSIS_API const char* PellixFlagName(uint32_t flag);
PELLIX_ANALYSIS_API const char* PellixFlagWords(uint32_t flag);

#ifdef __cplusplus
}
#endif

#endif /* PELLIX_ANALYSIS_H */
