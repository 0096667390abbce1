// The platform's error numbers and their words, as a host reads them from a failed call.
#include "platform/error.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace pellix {
namespace {

TEST(ErrorTest, EachNumberHasThePlatformsWordsAndStatus) {
  struct Row {
    int number;
    std::string_view description;
    std::uint32_t status;
  };
  const Row rows[] = {
      {5, "Invalid procedure call or argument", 0x800A0005u},
      {6, "Overflow", 0x800A0006u},
      {9, "Subscript out of range", 0x800A0009u},
      {51, "Internal error", 0x800A0033u},
      {53, "File not found", 0x800A0035u},
      {321, "Invalid file format", 0x800A0141u},
      {438, "Object doesn't support this property or method", 0x800A01B6u},
  };
  for (const Row& row : rows) {
    const PlatformError error(row.number);
    EXPECT_EQ(error.description(), row.description) << row.number;
    EXPECT_EQ(std::string(error.what()), row.description) << row.number;
    EXPECT_EQ(error.status(), row.status) << row.number;
  }
}

TEST(ErrorTest, ANumberThePlatformDoesNotDescribeHasNoWordsOfItsOwn) {
  for (int number : {0, 1, 52, 1000, -5}) {
    EXPECT_TRUE(ErrorDescription(number).empty()) << number;
    EXPECT_STREQ(PlatformError(number).what(), "Application-defined or object-defined error");
  }
}

}  // namespace
}  // namespace pellix
