// The script host run in-process: each statement's line, notifications before the line of the
// statement that caused them, error lines, instances, bags, and the lines that stop a script.
#include "host/script/script_runner.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "scratch_directory_test_base.h"

namespace pellix::script {
namespace {

struct Outcome {
  std::string out;
  std::string err;
  int status = -1;
  std::size_t instances = 0;  // the instances the script left
};

Outcome RunScript(const std::string& script) {
  std::istringstream in(script);
  std::ostringstream out;
  std::ostringstream err;
  ScriptRunner runner(out);
  Outcome outcome;
  outcome.status = runner.Run(in, err, "test.pellix");
  outcome.out = out.str();
  outcome.err = err.str();
  outcome.instances = runner.instance_count();
  return outcome;
}

// The output of a script that must run to its end.
std::string Output(const std::string& script) {
  Outcome outcome = RunScript(script);
  EXPECT_EQ(outcome.status, kScriptOk) << outcome.err;
  EXPECT_EQ(outcome.err, "");
  return outcome.out;
}

constexpr const char* kMemberError =
    R"("ok":false,"error":{"number":438,"description":"Object doesn't support this property or method"}})";

// A folder of its own for the bag files of one test, removed afterwards.
class ScriptHostFiles : public ScratchDirectoryTest {};

TEST(ScriptHostGet, ValuesByPropertyType) {
  EXPECT_EQ(Output("get DATAstr\nget DensityLevel\nget CR_SFLC\nget MSGstring\nget BGfilter\n"),
            "{\"line\":1,\"op\":\"get\",\"name\":\"DATAstr\",\"ok\":true,\"value\":\"\"}\n"
            "{\"line\":2,\"op\":\"get\",\"name\":\"DensityLevel\",\"ok\":true,\"value\":0}\n"
            "{\"line\":3,\"op\":\"get\",\"name\":\"CR_SFLC\",\"ok\":true,\"value\":0}\n"
            "{\"line\":4,\"op\":\"get\",\"name\":\"MSGstring\",\"ok\":true,\"value\":\"\\\"\"}\n"
            "{\"line\":5,\"op\":\"get\",\"name\":\"BGfilter\",\"ok\":true,\"value\":\"2\"}\n");
}

TEST(ScriptHostGet, NamesMatchInAnyCaseAndPrintAsWritten) {
  EXPECT_EQ(Output("get bgFILTER\n"),
            "{\"line\":1,\"op\":\"get\",\"name\":\"bgFILTER\",\"ok\":true,\"value\":\"2\"}\n");
}

TEST(ScriptHostSet, NotificationComesBeforeTheStatementLine) {
  EXPECT_EQ(Output("set CR_msgX \"7\"\nget CR_msgX\n"),
            "{\"line\":1,\"op\":\"notify\",\"name\":\"CR_MSGX\"}\n"
            "{\"line\":1,\"op\":\"set\",\"name\":\"CR_msgX\",\"ok\":true}\n"
            "{\"line\":2,\"op\":\"get\",\"name\":\"CR_msgX\",\"ok\":true,\"value\":\"7\"}\n");
  // The notified name is the control's spelling, whatever the script wrote.
  EXPECT_EQ(Output("set mode 2.5\n"),
            "{\"line\":1,\"op\":\"notify\",\"name\":\"Mode\"}\n"
            "{\"line\":1,\"op\":\"set\",\"name\":\"mode\",\"ok\":true}\n");
}

TEST(ScriptHostSet, ValuesConvertedAsLateBindingDoes) {
  EXPECT_EQ(Output("set Volume true\nget Volume\nset DensityLevel 2.5\nget DensityLevel\n"
                   "set Person \" 12 \"\nget Person\nset CAL_SFLC true\nget CAL_SFLC\n"
                   "set Volume 0.00001\nget Volume\n"),
            "{\"line\":1,\"op\":\"notify\",\"name\":\"Volume\"}\n"
            "{\"line\":1,\"op\":\"set\",\"name\":\"Volume\",\"ok\":true}\n"
            "{\"line\":2,\"op\":\"get\",\"name\":\"Volume\",\"ok\":true,\"value\":\"True\"}\n"
            "{\"line\":3,\"op\":\"notify\",\"name\":\"DensityLevel\"}\n"
            "{\"line\":3,\"op\":\"set\",\"name\":\"DensityLevel\",\"ok\":true}\n"
            "{\"line\":4,\"op\":\"get\",\"name\":\"DensityLevel\",\"ok\":true,\"value\":2}\n"
            "{\"line\":5,\"op\":\"notify\",\"name\":\"Person\"}\n"
            "{\"line\":5,\"op\":\"set\",\"name\":\"Person\",\"ok\":true}\n"
            "{\"line\":6,\"op\":\"get\",\"name\":\"Person\",\"ok\":true,\"value\":12}\n"
            "{\"line\":7,\"op\":\"notify\",\"name\":\"CAL_SFLC\"}\n"
            "{\"line\":7,\"op\":\"set\",\"name\":\"CAL_SFLC\",\"ok\":true}\n"
            "{\"line\":8,\"op\":\"get\",\"name\":\"CAL_SFLC\",\"ok\":true,\"value\":-1}\n"
            "{\"line\":9,\"op\":\"notify\",\"name\":\"Volume\"}\n"
            "{\"line\":9,\"op\":\"set\",\"name\":\"Volume\",\"ok\":true}\n"
            "{\"line\":10,\"op\":\"get\",\"name\":\"Volume\",\"ok\":true,\"value\":\"1E-05\"}\n");
}

TEST(ScriptHostErrors, ConversionFailuresNotifyNothing) {
  EXPECT_EQ(Output("set DensityLevel \"abc\"\nset Volume 1e400\nset Person 32767.5\n"),
            "{\"line\":1,\"op\":\"set\",\"name\":\"DensityLevel\",\"ok\":false,\"error\":"
            "{\"number\":13,\"description\":\"Type mismatch\"}}\n"
            "{\"line\":2,\"op\":\"set\",\"name\":\"Volume\",\"ok\":false,\"error\":"
            "{\"number\":6,\"description\":\"Overflow\"}}\n"
            "{\"line\":3,\"op\":\"set\",\"name\":\"Person\",\"ok\":false,\"error\":"
            "{\"number\":6,\"description\":\"Overflow\"}}\n");
}

TEST(ScriptHostErrors, MembersThatAreNotThere) {
  EXPECT_EQ(Output("get Nothing\nget Check\nset profiler 1\ncall Mode\ncall Initialize\n"),
            std::string("{\"line\":1,\"op\":\"get\",\"name\":\"Nothing\",") + kMemberError +
                "\n{\"line\":2,\"op\":\"get\",\"name\":\"Check\"," + kMemberError +
                "\n{\"line\":3,\"op\":\"set\",\"name\":\"profiler\"," + kMemberError +
                "\n{\"line\":4,\"op\":\"call\",\"name\":\"Mode\"," + kMemberError +
                "\n{\"line\":5,\"op\":\"call\",\"name\":\"Initialize\"," + kMemberError + "\n");
}

TEST(ScriptHostErrors, ScriptGoesOnAfterAFailingStatement) {
  EXPECT_EQ(Output("get Nothing\nget Mode\n"),
            std::string("{\"line\":1,\"op\":\"get\",\"name\":\"Nothing\",") + kMemberError +
                "\n{\"line\":2,\"op\":\"get\",\"name\":\"Mode\",\"ok\":true,\"value\":\"0\"}\n");
}

TEST(ScriptHostUserMode, DesignModeRefusesTheGuardedPuts) {
  EXPECT_EQ(Output("set CR_SFLC 1\nusermode false\nset DATAstr \"x\"\nset CR_SFLC 1\n"
                   "get DATAstr\nusermode true\n"),
            "{\"line\":1,\"op\":\"set\",\"name\":\"CR_SFLC\",\"ok\":false,\"error\":"
            "{\"number\":393,\"description\":\"Get not supported at runtime\"}}\n"
            "{\"line\":2,\"op\":\"usermode\",\"name\":false,\"ok\":true}\n"
            "{\"line\":3,\"op\":\"set\",\"name\":\"DATAstr\",\"ok\":false,\"error\":"
            "{\"number\":382,\"description\":\"Set not supported at runtime\"}}\n"
            "{\"line\":4,\"op\":\"set\",\"name\":\"CR_SFLC\",\"ok\":false,\"error\":"
            "{\"number\":382,\"description\":\"Set not supported at runtime\"}}\n"
            "{\"line\":5,\"op\":\"get\",\"name\":\"DATAstr\",\"ok\":true,\"value\":\"\"}\n"
            "{\"line\":6,\"op\":\"usermode\",\"name\":true,\"ok\":true}\n");
}

TEST(ScriptHostUserMode, OneSettingForEveryInstance) {
  std::string out =
      Output("usermode false\nnew\nset MSGstring \"a\"\nuse 0\nset MSGstring \"b\"\n");
  EXPECT_NE(out.find("{\"line\":3,\"op\":\"set\",\"name\":\"MSGstring\",\"ok\":false"),
            std::string::npos);
  EXPECT_NE(out.find("{\"line\":5,\"op\":\"set\",\"name\":\"MSGstring\",\"ok\":false"),
            std::string::npos);
}

TEST(ScriptHostInstances, NewAndUse) {
  EXPECT_EQ(Output("set Mode \"zero\"\nuse 1\nnew\nget Mode\nuse 0\nget Mode\nuse 1.0\n"
                   "use -0\nuse 1e300\n"),
            "{\"line\":1,\"op\":\"notify\",\"name\":\"Mode\"}\n"
            "{\"line\":1,\"op\":\"set\",\"name\":\"Mode\",\"ok\":true}\n"
            "{\"line\":2,\"op\":\"use\",\"name\":1,\"ok\":false,\"error\":"
            "{\"number\":9,\"description\":\"Subscript out of range\"}}\n"
            "{\"line\":3,\"op\":\"new\",\"ok\":true}\n"
            "{\"line\":4,\"op\":\"get\",\"name\":\"Mode\",\"ok\":true,\"value\":\"0\"}\n"
            "{\"line\":5,\"op\":\"use\",\"name\":0,\"ok\":true}\n"
            "{\"line\":6,\"op\":\"get\",\"name\":\"Mode\",\"ok\":true,\"value\":\"zero\"}\n"
            "{\"line\":7,\"op\":\"use\",\"name\":1,\"ok\":true}\n"
            "{\"line\":8,\"op\":\"use\",\"name\":0,\"ok\":true}\n"
            "{\"line\":9,\"op\":\"use\",\"name\":1e+300,\"ok\":false,\"error\":"
            "{\"number\":9,\"description\":\"Subscript out of range\"}}\n");
}

TEST(ScriptHostInstances, UseOfANegativeInstance) {
  EXPECT_EQ(Output("use -1\n"),
            "{\"line\":1,\"op\":\"use\",\"name\":-1,\"ok\":false,\"error\":"
            "{\"number\":9,\"description\":\"Subscript out of range\"}}\n");
}

TEST_F(ScriptHostFiles, InstancesStopAtTheLimitWithOutOfMemory) {
  // Instance 0 and kMaxInstances - 1 new ones fill the script; the next new or load fails
  // and creates nothing, so `use` of the last index still fails.
  std::string script = "save " + Path("bag.json") + "\n";
  for (std::size_t i = 1; i <= kMaxInstances; ++i) script += "new\n";
  script += "load " + Path("bag.json") + "\nuse " + std::to_string(kMaxInstances) + "\n";
  std::istringstream lines(Output(script));
  std::vector<std::string> last;
  for (std::string line; std::getline(lines, line);) last.push_back(line);
  ASSERT_EQ(last.size(), kMaxInstances + 3);
  const std::string out_of_memory =
      R"("ok":false,"error":{"number":7,"description":"Out of memory"}})";
  EXPECT_EQ(last[kMaxInstances - 1],
            "{\"line\":" + std::to_string(kMaxInstances) + ",\"op\":\"new\",\"ok\":true}");
  EXPECT_TRUE(last[kMaxInstances].ends_with("\"op\":\"new\"," + out_of_memory))
      << last[kMaxInstances];
  EXPECT_TRUE(last[kMaxInstances + 1].ends_with(out_of_memory)) << last[kMaxInstances + 1];
  EXPECT_TRUE(last[kMaxInstances + 2].ends_with("Subscript out of range\"}}"));
}

TEST(ScriptHostPanel, ValueCellsInOrder) {
  EXPECT_EQ(Output("set BGfilter \"9\"\nset CR_avJ \"x\"\npanel\n"),
            "{\"line\":1,\"op\":\"notify\",\"name\":\"BGfilter\"}\n"
            "{\"line\":1,\"op\":\"set\",\"name\":\"BGfilter\",\"ok\":true}\n"
            "{\"line\":2,\"op\":\"notify\",\"name\":\"CR_avJ\"}\n"
            "{\"line\":2,\"op\":\"set\",\"name\":\"CR_avJ\",\"ok\":true}\n"
            "{\"line\":3,\"op\":\"panel\",\"ok\":true,\"cells\":{"
            "\"SPT(0)\":\"0\",\"SPT(1)\":\"0\",\"SPT(2)\":\"0\",\"SPT(3)\":\"0\",\"SPT(4)\":\"0\","
            "\"SPT(5)\":\"120\",\"SPT(6)\":\"0\",\"SPT(7)\":\"0\",\"SPT(8)\":\"0\","
            "\"SPJ(0)\":\"0\",\"SPJ(1)\":\"0\",\"SPJ(2)\":\"0\",\"SPJ(3)\":\"0\",\"SPJ(4)\":\"0\","
            "\"SPJ(5)\":\"120\",\"SPJ(6)\":\"0\",\"SPJ(7)\":\"0\",\"SPJ(8)\":\"0\","
            "\"JQ(0)\":\"0\",\"JQ(1)\":\"0\",\"JQ(2)\":\"0\",\"JQ(3)\":\"0\",\"JQ(4)\":\"0\","
            "\"JQ(5)\":\"120\",\"JQ(6)\":\"0\",\"JQ(7)\":\"0\",\"JQ(8)\":\"0\","
            "\"AVJ(0)\":\"0\",\"AVJ(1)\":\"0\",\"AVJ(2)\":\"0\",\"AVJ(3)\":\"0\",\"AVJ(4)\":\"0\","
            "\"AVJ(5)\":\"0\",\"AVJ(6)\":\"0\",\"AVJ(7)\":\"0\",\"AVJ(8)\":\"x\","
            "\"Filters(0)\":\"0\",\"Filters(1)\":\"0\",\"Filters(2)\":\"0\",\"Filters(3)\":\"9\","
            "\"Filters(4)\":\"30\",\"Filters(5)\":\"0\",\"BG_LEVEL\":\"0\",\"LBL_LIE\":\"0\","
            "\"LBL_GLB\":\"0\",\"LBL_EXC\":\"0\",\"LBL_MSG\":\"0\"}}\n");
}

TEST(ScriptHostLines, NumbersCountEveryLine) {
  EXPECT_EQ(Output("# comment\n\n   \nget Mode\r\n\t# another\r\nget Volume"),
            "{\"line\":4,\"op\":\"get\",\"name\":\"Mode\",\"ok\":true,\"value\":\"0\"}\n"
            "{\"line\":6,\"op\":\"get\",\"name\":\"Volume\",\"ok\":true,\"value\":\"0\"}\n");
}

TEST(ScriptHostLines, InvalidUtf8ReadsAsReplacementCharacters) {
  EXPECT_EQ(Output("set Mode \"a\xFF"
                   "b\"\nget Mode\n"),
            "{\"line\":1,\"op\":\"notify\",\"name\":\"Mode\"}\n"
            "{\"line\":1,\"op\":\"set\",\"name\":\"Mode\",\"ok\":true}\n"
            "{\"line\":2,\"op\":\"get\",\"name\":\"Mode\",\"ok\":true,\"value\":\"a\xEF\xBF\xBD"
            "b\"}\n");
}

TEST(ScriptHostLines, EscapesReachTheControlAndJsonEscapesThemBack) {
  EXPECT_EQ(Output("set Mode \"q\\\"\\\\\\n\\t\\x\"\nget Mode\n"),
            "{\"line\":1,\"op\":\"notify\",\"name\":\"Mode\"}\n"
            "{\"line\":1,\"op\":\"set\",\"name\":\"Mode\",\"ok\":true}\n"
            "{\"line\":2,\"op\":\"get\",\"name\":\"Mode\",\"ok\":true,\"value\":"
            "\"q\\\"\\\\\\n\\t\\\\x\"}\n");
}

TEST(ScriptHostSyntax, ALineThatIsNotAStatementStopsTheScript) {
  Outcome outcome = RunScript("get Mode\n# fine\nset Mode abc\nget Volume\n");
  EXPECT_EQ(outcome.status, kScriptUsageError);
  EXPECT_EQ(outcome.out,
            "{\"line\":1,\"op\":\"get\",\"name\":\"Mode\",\"ok\":true,\"value\":\"0\"}\n");
  EXPECT_NE(outcome.err.find("test.pellix:3:"), std::string::npos) << outcome.err;
}

TEST(ScriptHostSyntax, EveryKindOfBadLine) {
  for (const char* line :
       {"frobnicate", "GET Mode", "get", "get Mode Volume", "set Mode abc", "get 12",
        "set Mode \"open", "set Mode \"a\"b", "usermode yes", "usermode 1", "use 1.5", "use x",
        "new 1", "panel 0", "save", "load a b"}) {
    Outcome outcome = RunScript(std::string("get Mode\n") + line + "\nget Volume\n");
    EXPECT_EQ(outcome.status, kScriptUsageError) << line;
    EXPECT_EQ(outcome.out,
              "{\"line\":1,\"op\":\"get\",\"name\":\"Mode\",\"ok\":true,\"value\":\"0\"}\n")
        << line;
    EXPECT_NE(outcome.err.find(":2:"), std::string::npos) << line << ": " << outcome.err;
  }
}

TEST(ScriptHostSyntax, EmptyScriptRunsNothing) {
  Outcome outcome = RunScript("");
  EXPECT_EQ(outcome.status, kScriptOk);
  EXPECT_EQ(outcome.out, "");
}

// A stream whose reading fails partway, as a read error on a file does.
class FailingBuffer : public std::streambuf {
 protected:
  int_type underflow() override { throw std::ios_base::failure("read error"); }
};

TEST(ScriptHostSyntax, UnreadableInputIsAUsageError) {
  FailingBuffer buffer;
  std::istream in(&buffer);
  std::ostringstream out;
  std::ostringstream err;
  ScriptRunner runner(out);
  EXPECT_EQ(runner.Run(in, err, "broken"), kScriptUsageError);
  EXPECT_NE(err.str().find("broken"), std::string::npos);
}

TEST_F(ScriptHostFiles, SaveWritesEveryKeyLastWriteWinning) {
  std::string bag = Path("bag.json");
  std::string out =
      Output("set Mode \"m\"\nset Volume \"v\"\nset BGfilter \"7\"\nsave \"" + bag + "\"\n");
  EXPECT_NE(out.find("{\"line\":4,\"op\":\"save\",\"name\":\"" + bag + "\",\"ok\":true}\n"),
            std::string::npos);
  EXPECT_EQ(Read("bag.json"),
            "{\"BackColor\":2147483663,\"AutoRedraw\":false,\"BackStyle\":1,\"BorderStyle\":0,"
            "\"DATAstr\":\"\",\"DensityLevel\":0,\"Person\":0,\"CAL_SFLC\":0,\"CR_SFLC\":0,"
            "\"Mode\":\"m\",\"CAL_AVJ\":\"0\",\"CR_avJ\":\"0\",\"BGfilter\":\"7\",\"Volume\":\"v\","
            "\"ADDvolume\":\"0\",\"CAL_spT\":\"0\",\"CAL_spJ\":\"0\",\"CAL_JQ\":\"0\","
            "\"CR_SPJ\":\"0\",\"CR_spT\":\"0\",\"CR_JQ\":\"0\",\"MSGstring\":\"\\\"\"}\n");
}

TEST_F(ScriptHostFiles, LoadCreatesANewCurrentInstanceSilently) {
  Write("in.json", R"({"Mode":"m","CR_MSGX":"5","CR_SFLC":2.5})");
  const Outcome run =
      RunScript("load \"" + Path("in.json") + "\"\nget Mode\nget CR_msgX\nget CR_SFLC\nuse 1\n");
  ASSERT_EQ(run.status, kScriptOk);
  EXPECT_EQ(run.instances, 2u);
  EXPECT_EQ(run.out,
            "{\"line\":1,\"op\":\"load\",\"name\":\"" + Path("in.json") + "\",\"ok\":true}\n" +
                "{\"line\":2,\"op\":\"get\",\"name\":\"Mode\",\"ok\":true,\"value\":\"m\"}\n"
                "{\"line\":3,\"op\":\"get\",\"name\":\"CR_msgX\",\"ok\":true,\"value\":\"5\"}\n"
                "{\"line\":4,\"op\":\"get\",\"name\":\"CR_SFLC\",\"ok\":true,\"value\":2.5}\n"
                "{\"line\":5,\"op\":\"use\",\"name\":1,\"ok\":true}\n");
}

TEST_F(ScriptHostFiles, UnreadableBagsCreateNothing) {
  Write("array.json", "[1,2]");
  Write("cut.json", "{\"Mode\":");
  const Outcome run = RunScript("load \"" + Path("missing.json") + "\"\nload \"" +
                                Path("array.json") + "\"\nload \"" + Path("cut.json") + "\"\n");
  ASSERT_EQ(run.status, kScriptOk);
  EXPECT_EQ(run.instances, 1u);
  EXPECT_EQ(run.out,
            "{\"line\":1,\"op\":\"load\",\"name\":\"" + Path("missing.json") +
                "\",\"ok\":false,\"error\":{\"number\":53,\"description\":\"File not found\"}}\n"
                "{\"line\":2,\"op\":\"load\",\"name\":\"" +
                Path("array.json") +
                "\",\"ok\":false,\"error\":{\"number\":321,\"description\":\"Invalid file "
                "format\"}}\n"
                "{\"line\":3,\"op\":\"load\",\"name\":\"" +
                Path("cut.json") +
                "\",\"ok\":false,\"error\":{\"number\":321,\"description\":\"Invalid file "
                "format\"}}\n");
}

TEST_F(ScriptHostFiles, LoadStoppedAtAKeyLeavesTheNewInstanceCurrent) {
  // DensityLevel is read after DATAstr and before Person; its text is no number.
  Write("bad.json", R"({"Person":5,"DensityLevel":"abc","DATAstr":"p"})");
  const Outcome run =
      RunScript("load \"" + Path("bad.json") +
                "\"\nget DATAstr\nget Person\nget Mode\nget CR_SFLC\nget BGfilter\n");
  ASSERT_EQ(run.status, kScriptOk);
  EXPECT_EQ(run.instances, 2u);
  // Language defaults after the failing key: texts empty, CR_SFLC Empty, captions at design.
  EXPECT_EQ(run.out,
            "{\"line\":1,\"op\":\"load\",\"name\":\"" + Path("bad.json") +
                "\",\"ok\":false,\"error\":{\"number\":13,\"description\":\"Type mismatch\"}}\n" +
                "{\"line\":2,\"op\":\"get\",\"name\":\"DATAstr\",\"ok\":true,\"value\":\"p\"}\n"
                "{\"line\":3,\"op\":\"get\",\"name\":\"Person\",\"ok\":true,\"value\":0}\n"
                "{\"line\":4,\"op\":\"get\",\"name\":\"Mode\",\"ok\":true,\"value\":\"\"}\n"
                "{\"line\":5,\"op\":\"get\",\"name\":\"CR_SFLC\",\"ok\":true,\"value\":null}\n"
                "{\"line\":6,\"op\":\"get\",\"name\":\"BGfilter\",\"ok\":true,\"value\":\"2\"}\n");
}

TEST_F(ScriptHostFiles, SaveIntoAMissingFolderFails) {
  std::string out = Output("save \"" + Path("no/such/bag.json") + "\"\n");
  EXPECT_NE(out.find("\"ok\":false,\"error\":{\"number\":53,"), std::string::npos) << out;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "no"));
}

}  // namespace
}  // namespace pellix::script
