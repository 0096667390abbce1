// The one CSV reader and writer: quoting, spreadsheet formulas made harmless, and records
// read back with their line numbers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/csv.h"

namespace pellix::analysis {
namespace {

TEST(Csv, FieldsAreQuotedAndFormulasNeutralised) {
  struct Case {
    std::string text;
    std::string written;
  };
  const Case cases[] = {
      {"plain", "plain"},
      {"", ""},
      {"a,b", "\"a,b\""},
      {"say \"yes\"", "\"say \"\"yes\"\"\""},
      {"two\nlines", "\"two\nlines\""},
      {" padded", "\" padded\""},
      {"tab\t", "\"tab\t\""},
      {"\xEF\xBB\xBF"
       "alex",
       "\"\xEF\xBB\xBF"
       "alex\""},
      // A spreadsheet runs these as formulas; an apostrophe makes them text.
      {"=SUM(A1:A9)", "'=SUM(A1:A9)"},
      {"+cmd", "'+cmd"},
      {"-x", "'-x"},
      {"@A1", "'@A1"},
      {"=1,2", "\"'=1,2\""},
      {"-", "'-"},
      {"-.", "'-."},
      {"-1e", "'-1e"},
      {"-1E-", "'-1E-"},
      {"-1E-5x", "'-1E-5x"},
      {"--1", "'--1"},
      // Plain numbers, negative result codes included, stay numbers.
      {"-1", "-1"},
      {"-2", "-2"},
      {"+3.5", "+3.5"},
      {"-0.25", "-0.25"},
      {"-.5", "-.5"},
      {"-1E+15", "-1E+15"},
      {"-1E-5", "-1E-5"},
      {"+2e-07", "+2e-07"},
      {"-3.", "-3."},
      {"a=b", "a=b"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CsvField(c.text), c.written) << c.text;
    // What a reader gets back: the field without the quoting, the apostrophe kept.
    const std::string line = c.written + ",\n";
    CsvReader reader(line, "t");
    EXPECT_EQ(reader.Next()->fields.front(), CsvFieldText(c.text)) << c.text;
  }
  EXPECT_EQ(CsvLine({"a", "-1", "=x", "b c"}), "a,-1,'=x,b c\n");
  EXPECT_EQ(CsvLine(std::vector<std::string>{}), "\n");
}

TEST(Csv, RecordsAreReadWithTheLineTheyStartOn) {
  const std::string text =
      "\xEF\xBB\xBFspeaker,role , file\r\n"
      "\n"
      " alex ,\"check\",\"a, \"\"b\"\"\nc.wav\"\n"
      ",,\n"
      "\"q\" ,\t\"r\"\t\n"
      "last";
  CsvReader reader(text, "m.csv");
  const std::vector<CsvRecord> expected = {
      {1, {"speaker", "role", "file"}},
      {3, {"alex", "check", "a, \"b\"\nc.wav"}},
      {5, {"", "", ""}},
      {6, {"q", "r"}},  // blanks around a quoted field are dropped too
      {7, {"last"}},
  };
  for (const CsvRecord& want : expected) {
    std::optional<CsvRecord> got = reader.Next();
    ASSERT_TRUE(got);
    EXPECT_EQ(got->line, want.line);
    EXPECT_EQ(got->fields, want.fields);
    // The record's place in the text: its line starts there (after the byte-order mark).
    EXPECT_EQ(got->offset, got->line == 1 ? 3 : text.rfind('\n', got->offset - 1) + 1);
  }
  EXPECT_FALSE(reader.Next());
}

TEST(Csv, BrokenQuotingNamesTheLine) {
  struct Case {
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {"a\n\"open,b\n", "m.csv:2: a quoted field is not closed"},
      {"a\n\"x\"y,b\n", "m.csv:2: text after the closing quote of a field"},
      {"a\nb\nx\"y\n", "m.csv:3: a quote inside a field that does not start with one"},
  };
  for (const Case& c : cases) {
    CsvReader reader(c.text, "m.csv");
    try {
      while (reader.Next()) {
      }
      ADD_FAILURE() << "no error for " << c.text;
    } catch (const CsvSyntaxError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
}

}  // namespace
}  // namespace pellix::analysis
