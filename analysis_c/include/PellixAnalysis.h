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
 *   until the next call with the same speaker from the same thread (PellixSpeakerError
 *   excepted), or its close. Copy what you keep. The texts of
 *   PellixCsvHeader, PellixReportKeys, PellixFlagName and PellixFlagWords are the library's,
 *   valid for ever.
 *
 * Threads:
 * - Many speakers may run on many threads at once: they share nothing.
 * - A speaker may be used from any thread (a worker pool may hand it from task to task): each
 *   call runs on the calling thread with the speaker's own analysis state, which no other
 *   speaker touches, so a speaker's results never depend on the thread or on other speakers
 *   used there before. Calls on one speaker from two threads at once take
 *   turns: the second waits for the first.
 * - PellixSpeakerClose waits for a call in flight on another thread to end; no call on the
 *   speaker may start once it is called.
 *
 * Samples in memory may be at any address: samples that are not aligned for their type (a
 * NumPy array at an odd offset into a buffer) are copied for the call.
 *
 * Failures: every call that can fail returns 0 on success or a platform error number, and
 * keeps a message naming what failed (the file, the value) for PellixSpeakerError:
 *   5    an argument is invalid: a NULL pointer, an unknown take kind, PCM samples of a rate
 *        outside 1000 to 768000 Hz, of no channels or more than 1024, or whose count is not a
 *        whole number of frames;
 *   7    out of memory;
 *   53 / 70 / 75  a file does not exist / may not be read or written / is a folder, pipe or
 *        device, or reading or writing it failed;
 *   55   the state file is in use by another run (PellixSpeakerSaveWithin,
 *        PellixSpeakerLoadWithin);
 *   321  a take that is not a recording or sample file, is damaged or holds no sound, PCM
 *        samples that are not numbers or infinite; a state file that is not the control's
 *        state (another program's JSON, damaged history);
 *   other platform numbers the control raises (6 overflow, 9, 11, ...);
 *   51   an internal error.
 * A failed call changes nothing it need not: a take that could not be read or converted
 * leaves the control and history as they were (one the control itself fails on, 6, 9 or 11,
 * leaves them as the control's failing operation does), a failed load keeps the state the
 * speaker had, a failed save leaves the files as they were (each is replaced whole, never
 * half-written). A refused take (too short, silent) is no
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
  PELLIX_STATE_FILE_BUSY = 55,
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
  const void* data; /* a take in memory; for PELLIX_TAKE_FILE, NULL or the file to open as a
                       NUL-terminated text, `name` then being only what its row and messages
                       show (a manifest's take: opened under its full path, shown as named) */
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
  PELLIX_FLAG_STEADY_TONE = 16,     /* a steady tone, not speech */
  PELLIX_FLAG_PITCH_MISMATCH = 32   /* a check's pitch over 1.5 times, or under 2/3 of, the
                                       median of this speaker's calibrations in this session */
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
  /* Added last, so that the fields above keep their places for earlier callers: */
  int32_t refused; /* 1 when the control refused the take: code -1 (too short or silent; a
                      calibration take rejected) or -2 (a check without analysis constants).
                      0 for any other code and for a failure. Every summary of Pellix counts
                      refused takes by this rule. */
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
  const char* text; /* DATAstr after profiler: "0" for too few checks */
  int32_t checks;   /* the checks in the speaker's history */
  int32_t readable; /* 1 when the text is a profile whose digits are explained below */
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
 * writable; an empty name is refused with 5). Sets *speaker to the new speaker even when opening
 * fails, so that PellixSpeakerError can tell why; close it either way. *speaker is NULL only when
 * there was no memory for it (7) or `speaker` is NULL (5). A speaker whose open failed analyses
 * nothing: its calls return the open's error. */
PELLIX_ANALYSIS_API int PellixSpeakerOpen(const char* parameters, const char* state_file,
                                          PellixSpeaker** speaker);

/* PellixSpeakerOpen for a speaker whose rows name it `name` in their speaker column, as a
 * `pellix analyze --batch` run names each speaker of its manifest (the CSV field quoted, and
 * with an apostrophe in front when a spreadsheet would run it as a formula: "=x" as "'=x").
 * NULL or "" leaves the column empty, as PellixSpeakerOpen does. */
PELLIX_ANALYSIS_API int PellixSpeakerOpenNamed(const char* name, const char* parameters,
                                               const char* state_file, PellixSpeaker** speaker);

/* Closes the speaker without saving (PellixSpeakerSave saves), once a call in flight on another
 * thread has ended. NULL is ignored. */
PELLIX_ANALYSIS_API void PellixSpeakerClose(PellixSpeaker* speaker);

/* The message of the last failure of a call with this speaker from this thread; empty after a
 * call that succeeded. */
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
 * last loaded with; 5 when there is none, or for an empty name). The history goes to the
 * sidecar beside it ("alex.json" keeps it in "alex.history.jsonl", "team.alex" in
 * "team.alex-history.jsonl") once there is one.
 *
 * Runs sharing a state file (other speakers, `pellix analyze` and `pellix listen --state`, the
 * desk) take turns and lose nothing: the save waits while another run holds the file, then
 * reads it again. Saved to the speaker's own file, the history is the file's rows (with those
 * other runs saved since this speaker read it or last saved) followed by this speaker's new
 * checks, and the calibration is the file's with this speaker's checks' drift replayed on it
 * (when this speaker calibrated since, its own); a setting only another run changed stays
 * theirs. The speaker carries on from what it saved. Saved to any other file, the file gets
 * this speaker's state and whole history, and no other history stays beside it. */
PELLIX_ANALYSIS_API int PellixSpeakerSave(PellixSpeaker* speaker, const char* state_file);

/* PellixSpeakerSave, waiting at most `seconds` (0: not at all) for another run to finish with
 * the state file, and no longer once a signal arrives; then 55, nothing saved, when it is
 * still in use. A host calls it again to wait on, and can say meanwhile that it waits and let
 * its user give up. */
PELLIX_ANALYSIS_API int PellixSpeakerSaveWithin(PellixSpeaker* speaker, const char* state_file,
                                                double seconds);

/* Replaces the speaker's control and history by those kept in `state_file`, with the
 * parameters it was opened with. On failure (53 when the file does not exist) the speaker
 * stays as it was. */
PELLIX_ANALYSIS_API int PellixSpeakerLoad(PellixSpeaker* speaker, const char* state_file);

/* PellixSpeakerLoad, waiting at most `seconds` (0: not at all) for another run to finish with
 * the state file, and no longer once a signal arrives; then 55, the speaker as it was, when it
 * is still in use. A host calls it again to wait on, as with PellixSpeakerSaveWithin. */
PELLIX_ANALYSIS_API int PellixSpeakerLoadWithin(PellixSpeaker* speaker, const char* state_file,
                                                double seconds);

/* Fills *result with the row of a take the host could not even hand over (a URL it could not
 * read), as the speaker's rows word any take that could not be analysed: `check` 0 for a
 * calibration, else a check; `error_number` (not 0) and `message` say why. The control and its
 * history do not change. Returns 0, or 5 for a NULL speaker, name or message, or a number of 0. */
PELLIX_ANALYSIS_API int PellixSpeakerFailedTake(PellixSpeaker* speaker, int check, const char* name,
                                                int error_number, const char* message,
                                                PellixTakeResult* result);

/* ---- Manifests: the speakers of a corpus and their takes, as `pellix analyze --batch` reads
 * them.
 *
 *   speaker,role,file
 *   alex,calibrate,recordings/alex_calibrate_1.wav
 *   alex,check,s3://corpus/alex_check_01.flac
 *
 * The header names the columns in any order and case (others are ignored); fields are CSV
 * (RFC 4180, quotes and line breaks in quotes, a byte-order mark and blank lines skipped).
 * Speakers come in the order of their first line, each one's takes in manifest order. A
 * relative file is relative to the manifest's folder and shown as the command shows it
 * ("dir/./a.wav" as "dir/a.wav"); a URL (a scheme of two or more characters, then "://") is
 * kept and shown as written, for the host to read.
 *
 * A manifest is the host's from its open to PellixManifestClose; the texts and arrays it hands
 * out are its own, valid until then, and never change: many threads may read one manifest at
 * once (its open and close excepted). Opens fail with 5 (an argument is NULL), 7, the file's
 * number (53, 70, 75 for a folder, pipe or device, 321 for a file over 64 MiB) or 321 for a
 * manifest that cannot be used; the message names the file and the line ("m.csv:4: the role
 * must be calibrate or check, not 'chek'"). Like PellixSpeakerOpen, they set *manifest even
 * when they fail (NULL only for 5 and 7), so that PellixManifestError can say why; close it
 * either way. A manifest whose open failed has no speakers. */
typedef struct PellixManifest PellixManifest;

/* A take of a manifest. */
typedef struct PellixManifestTake {
  const char* path; /* to open: absolute, relative to the current folder, or a URL */
  const char* name; /* as rows and messages show it */
} PellixManifestTake;

/* A speaker of a manifest and its takes. */
typedef struct PellixManifestSpeaker {
  const char* speaker;
  const PellixManifestTake* calibrations; /* NULL when there are none */
  size_t calibration_count;
  const PellixManifestTake* checks;
  size_t check_count;
} PellixManifestSpeaker;

/* Reads the manifest file at `path`: only a regular file, of at most 64 MiB, opened without
 * waiting on a pipe or a device. */
PELLIX_ANALYSIS_API int PellixManifestRead(const char* path, PellixManifest** manifest);

/* Parses `size` bytes of manifest text at `text` (NULL with size 0: empty text). `source`
 * names it in messages (NULL: "manifest"); `folder` is where relative files are (NULL or "":
 * the current folder). */
PELLIX_ANALYSIS_API int PellixManifestParse(const char* text, size_t size, const char* source,
                                            const char* folder, PellixManifest** manifest);

/* The manifest of `count` rows given as columns (a table's speaker, role and file), checked
 * as a manifest's lines are; messages name row i (from 1) as "<source>:<i>". `source` and
 * `folder` as for PellixManifestParse. */
PELLIX_ANALYSIS_API int PellixManifestFromRows(const char* const* speakers,
                                               const char* const* roles, const char* const* files,
                                               size_t count, const char* source, const char* folder,
                                               PellixManifest** manifest);

/* The manifest's speakers in order: sets *speakers (NULL when there are none) and returns
 * their count; 0 for NULL. */
PELLIX_ANALYSIS_API size_t PellixManifestSpeakers(const PellixManifest* manifest,
                                                  const PellixManifestSpeaker** speakers);

/* Why the manifest's open failed; empty when it did not. */
PELLIX_ANALYSIS_API const char* PellixManifestError(const PellixManifest* manifest);

/* Frees the manifest. NULL is ignored. */
PELLIX_ANALYSIS_API void PellixManifestClose(PellixManifest* manifest);

/* ---- Corpus reports: the CSV file of a manifest's speakers that `pellix analyze --batch
 * --format csv -o FILE` writes, written by a host that analyses the speakers itself (each on a
 * PellixSpeakerOpenNamed speaker, its rows' `csv` texts joined, profiles not included).
 *
 *   PellixReport* out = NULL;
 *   if (PellixReportOpen("results.csv", manifest, 1, 30, &out) == 0) {
 *     for (i = 0; i < count; ++i)
 *       if (!PellixReportHas(out, i)) PellixReportWrite(out, i, rows_of(i), strlen(rows_of(i)));
 *     if (PellixReportCommit(out) != 0) fprintf(stderr, "%s\n", PellixReportError(out));
 *   }
 *   PellixReportClose(out);
 *
 * The file is written as the command writes it: into a temporary file beside it, put in place
 * whole by PellixReportCommit, and at checkpoints while the run goes on, so that it holds the
 * old contents, or the speakers written up to the last checkpoint, never a speaker cut short.
 * Speakers are written in manifest order whatever order they are given in: a speaker's rows
 * wait in memory until every speaker before it is written or known to be left out.
 *
 * With `resume`, the file an earlier run over the same manifest wrote (by the command or by
 * these calls) is carried on, with the command's --resume rules: a file that does not exist or
 * holds less than its header line starts afresh; a file that is not such a report (another
 * header, a speaker not in the manifest or out of its order) is refused and left as it is; the
 * speakers it holds are kept, but the last, whose rows may have been cut short; every other
 * speaker, the last one and any the file lacks (one whose analysis failed for good in the
 * earlier run), is to be written again (PellixReportHas tells which), in its place.
 *
 * A report is the host's from PellixReportOpen to PellixReportClose. Calls on one report from
 * two threads at once take turns. Failures: 5 for a NULL argument, a speaker index that is not
 * the manifest's, already written or kept, rows that do not end with a line feed, or a
 * checkpoint interval that is negative or not a number; 7; the file's number (53, 70, 75) when
 * it cannot be read or written; 321 for a file that --resume refuses. The message, for
 * PellixReportError, names the file and the cause in words. Open sets *report even when it
 * fails (NULL only for 5 and 7); a report whose open failed writes nothing. */
typedef struct PellixReport PellixReport;

/* Opens the report file at `path` for a run over `manifest` (read during the call only). A
 * checkpoint puts the speakers written so far in place once `checkpoint_seconds` have passed since
 * the last (0: after every speaker, each time a copy of the file so far; the command takes 30). */
PELLIX_ANALYSIS_API int PellixReportOpen(const char* path, const PellixManifest* manifest,
                                         int resume, double checkpoint_seconds,
                                         PellixReport** report);

/* 1 when the speaker at `index` of the manifest is in the file already (kept from an earlier
 * run, or written); else 0 (also for NULL or an index past the end). */
PELLIX_ANALYSIS_API int PellixReportHas(const PellixReport* report, size_t index);

/* How many of the manifest's speakers an earlier run's file held whole and are kept. */
PELLIX_ANALYSIS_API size_t PellixReportKept(const PellixReport* report);

/* Writes the rows of the speaker at `index`: `size` bytes of CSV lines, each ending with a
 * line feed (0 bytes for a speaker with no rows). */
PELLIX_ANALYSIS_API int PellixReportWrite(PellixReport* report, size_t index, const char* rows,
                                          size_t size);

/* Writes what is kept from the earlier run and not written yet, and puts the file in place:
 * the speakers given so far, every kept one, and nothing of a speaker never given. On failure
 * the file holds what it held before the run, or the speakers up to the last checkpoint, as the
 * message says. Nothing can be written after it. */
PELLIX_ANALYSIS_API int PellixReportCommit(PellixReport* report);

/* Why the last call on the report failed; empty when it succeeded. */
PELLIX_ANALYSIS_API const char* PellixReportError(const PellixReport* report);

/* Frees the report. Without PellixReportCommit, the file holds what it held before the run,
 * or the speakers up to the last checkpoint. NULL is ignored. */
PELLIX_ANALYSIS_API void PellixReportClose(PellixReport* report);

/* The header line of CSV rows (the one key list of json and csv), without the line feed. */
PELLIX_ANALYSIS_API const char* PellixCsvHeader(void);

/* What a report key holds (PellixReportKey.type). json writes whole and real numbers alike,
 * without a fraction when they are whole. */
enum {
  PELLIX_KEY_TEXT = 0,
  PELLIX_KEY_WHOLE = 1, /* codes, stress levels, counts, error numbers */
  PELLIX_KEY_REAL = 2,  /* measures, seconds, levels in dBFS, shares */
  PELLIX_KEY_FLAGS = 3  /* the take's flags: a list in json, joined by blanks in csv */
};

/* A key of the report rows (`json` and `csv` of the results above, pellix analyze's and pellix
 * listen's rows), as the report itself declares it. */
typedef struct PellixReportKey {
  const char* name;
  int32_t type;         /* a PELLIX_KEY_* */
  int32_t control_text; /* 1: a figure the control published, its own text where it is no
                           number */
  int32_t nullable;     /* 1: null in json, an empty csv field, in rows it does not apply to */
  int32_t listen_only;  /* 1: only in pellix listen's rows (an utterance's place in its
                           stream); the others are PellixCsvHeader()'s columns in order */
  const char* description;
} PellixReportKey;

/* Every report key in the rows' order; their number in *count (not NULL). The library's,
 * valid for ever. */
PELLIX_ANALYSIS_API const PellixReportKey* PellixReportKeys(size_t* count);

/* What `pellix analyze --params` warns of for the packed parameter string `parameters` (NULL:
 * the default): values with which every take is refused, and worse, one line each ending in a
 * line feed; "" when there is nothing to warn of. The text stays until this thread's next call;
 * NULL when there was no memory. No speaker's analysis state is touched. */
PELLIX_ANALYSIS_API const char* PellixParameterWarnings(const char* parameters);

/* What a PELLIX_FLAG_* bit means in words, and its name in rows ("very_quiet"); empty texts
 * for anything else. */
PELLIX_ANALYSIS_API const char* PellixFlagName(uint32_t flag);
PELLIX_ANALYSIS_API const char* PellixFlagWords(uint32_t flag);

#ifdef __cplusplus
}
#endif

#endif /* PELLIX_ANALYSIS_H */
