// pellix convert IN OUT.smp [--rate HZ]: turns a recording into a sample file for the control.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "analysis/inputs.h"
#include "audio/audio_converter.h"
#include "audio/sample_file.h"
#include "audio/scratch_folder.h"
#include "audio/standard_streams.h"
#include "host/commands/command.h"
#include "host/commands/command_line.h"
#include "host/same_file.h"

namespace pellix {
namespace {

// Rates a sample file may be written at: from below telephone quality to studio rates.
constexpr std::uint32_t kLowestRate = 1000;
constexpr std::uint32_t kHighestRate = 192000;

constexpr const char* kConvertHelp =
    R"(Any recording libsndfile reads (WAV, FLAC, Ogg Vorbis, AIFF, ...) is mixed down to
mono, resampled and written as 8-bit samples. The control analyses the first 30001 samples
of a take (about 2.7 s at 11025 Hz); a longer recording is converted whole, with a warning.

IN may be "-" for standard input and OUT "-" for standard output; the line that tells what was
converted then goes to standard error.

Exit status: 0 converted, 1 the recording or the output file failed, 2 usage error.

Examples:
  pellix convert yes.wav yes.smp
  pellix convert interview.flac take1.smp --rate 8000
  sox yes.wav -t wav - | pellix convert - - > yes.smp)";

struct ConvertOptions {
  std::string input;
  std::string output;
  std::uint32_t rate = kDefaultSampleRate;
};

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f s", seconds);
  return text;
}

int RunConvert(const ConvertOptions& options) {
  // Converting a file onto itself would replace the recording by its 8-bit copy.
  if (options.input != kStandardStream && SameFile(options.input, options.output)) {
    std::cerr << "pellix: the output '" << options.output
              << "' is the recording itself; name another file\n";
    return kUsageError;
  }

  const bool from_stdin = options.input == kStandardStream;
  const bool to_stdout = options.output == kStandardStream;
  // A player, an editor or pellix itself would take the file for what its name says and find
  // no such recording in it.
  if (!to_stdout && analysis::IsRecordingName(options.output) &&
      !HasSampleFileName(options.output)) {
    std::cerr << "pellix: warning: '" << options.output
              << "' will hold a sample file (8-bit samples for the control), not the recording "
                 "its name says; a name ending in .smp says what it is\n";
  }
  ConvertedRecording take;
  try {
    // The converter seeks in its input and writes its output whole, so the standard streams go
    // through a private folder.
    std::optional<ScratchFolder> scratch;
    if (from_stdin || to_stdout) scratch.emplace();
    const std::filesystem::path input =
        from_stdin ? SaveStandardInput(*scratch, "stdin") : std::filesystem::path(options.input);
    const std::filesystem::path output =
        to_stdout ? scratch->NewFilePath("stdout.smp") : std::filesystem::path(options.output);
    take = ConvertToSampleFile(input, output, options.rate);
    if (to_stdout) CopyToStandardOutput(output);
  } catch (const PlatformError& e) {
    std::cerr << "pellix: " << e.what() << " (error " << e.number() << ")\n";
    return 1;
  }

  if (take.samples.size() > kSampleWindow) {
    std::cerr << "pellix: warning: '" << options.input << "' lasts " << Seconds(take.duration)
              << ", longer than the analysis window of " << kSampleWindow << " samples ("
              << Seconds(static_cast<double>(kSampleWindow) / take.rate)
              << "): only its first utterance is analysed\n";
  }
  (to_stdout ? std::cerr : std::cout)
      << "'" << options.input << "' -> '" << options.output << "': " << Seconds(take.duration)
      << ", " << take.samples.size() << " samples at " << take.rate << " Hz\n";
  return 0;
}

}  // namespace

void AddConvertCommand(CLI::App& app, CommandAction& action, LineOptions&) {
  CLI::App* command =
      app.add_subcommand("convert", "Convert a recording into a sample file for the control");
  auto options = std::make_shared<ConvertOptions>();
  command->add_option("IN", options->input, "The recording to convert")
      ->required()
      ->check(NonEmptyPath());
  command->add_option("OUT", options->output, "The sample file to write (e.g. take.smp)")
      ->required()
      ->check(NonEmptyPath());
  command
      ->add_option("--rate", options->rate,
                   "Sample rate of the sample file in Hz (default " +
                       std::to_string(kDefaultSampleRate) + ")")
      ->check(CLI::Range(kLowestRate, kHighestRate));
  command->footer(kConvertHelp);
  command->callback([options, &action] { action = [options] { return RunConvert(*options); }; });
}

}  // namespace pellix
