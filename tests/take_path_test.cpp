// Where a take named by a URL is read from: file:// URLs as local files, decoded as the URL
// standard has them, and every other scheme, host or NUL refused with its number and reason.
#include <gtest/gtest.h>

#include <string>

#include "analysis/take_path.h"
#include "files/file_error.h"

namespace pellix::analysis {
namespace {

using namespace std::string_literals;

TEST(TakePath, FileUrlsNameLocalFilesAndOtherNamesPassAsTheyAre) {
  const struct {
    std::string take;
    std::string path;
  } cases[] = {
      {"a.wav", "a.wav"},
      {"dir/x:y.wav", "dir/x:y.wav"},  // no "://": a file, not a URL
      {"file:///data/a.wav", "/data/a.wav"},
      {"FILE://localhost/data/a.wav", "/data/a.wav"},
      {"file://LocalHost/a.wav", "/a.wav"},
      {"file:///data/a%20b%2Cc.wav", "/data/a b,c.wav"},
      {"file:///caf%C3%A9.wav", "/caf\xC3\xA9.wav"},
      {"file:///100%25.wav", "/100%.wav"},
      {"file:///a%zz%4.wav", "/a%zz%4.wav"},  // no two hex digits: kept as written
      {"file:///a%4", "/a%4"},
      {"file:///a%41", "/aA"},               // an escape that ends the URL
      {"file:///a%2fb%2F%fF", "/a/b/\xFF"},  // f and F are hex digits too
      {"file:///a.wav?version=2#take", "/a.wav"},
      {"file:///a.wav#1", "/a.wav"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LocalTakePath(c.take, "recording").string(), c.path) << c.take;
  }
}

TEST(TakePath, RefusesWhatItCannotOpenHereWithTheNumberAndTheReason) {
  const std::string other_scheme =
      "': pellix reads file:// URLs; other schemes are read through the Python package";
  const struct {
    std::string take;
    int number;
    std::string message;  // its start
  } cases[] = {
      {"a.wav\0.x"s, 5, "cannot open recording 'a.wav\\0.x': the name holds a NUL character"},
      {"file:///a.wav%00.x", 5,
       "cannot open recording 'file:///a.wav%00.x': the path it decodes to holds a NUL "
       "character (%00)"},
      {"file://server/share/a.wav", 75,
       "cannot open recording 'file://server/share/a.wav': it names the host 'server'"},
      {"file://", 75, "cannot open recording 'file://': it names no file"},
      {"file://localhost", 75, "cannot open recording 'file://localhost': it names no file"},
      {"file://?x", 75, "cannot open recording 'file://?x': it names no file"},
      {"s3://bucket/a.flac", 75, "cannot open recording 's3://bucket/a.flac" + other_scheme},
      {"https://example.org/a", 75, "cannot open recording 'https://example.org/a" + other_scheme},
  };
  for (const auto& c : cases) {
    try {
      LocalTakePath(c.take, "recording");
      ADD_FAILURE() << c.message << ": taken";
    } catch (const FileError& e) {
      EXPECT_EQ(e.number(), c.number) << c.message;
      EXPECT_EQ(std::string(e.what()).substr(0, c.message.size()), c.message);
    }
  }
}

}  // namespace
}  // namespace pellix::analysis
