// JSON output of the script host: how numbers and variants print.
#include "host/script/json_lines.h"

#include <cmath>
#include <limits>
#include <sstream>

#include <gtest/gtest.h>

namespace pellix::script {
namespace {

std::string Dump(const Json& json) {
  return json.dump();
}

TEST(JsonLinesNumbers, WholeValuesUpTo2To53PrintAsIntegers) {
  EXPECT_EQ(Dump(JsonNumber(3.0)), "3");
  EXPECT_EQ(Dump(JsonNumber(-3.0)), "-3");
  EXPECT_EQ(Dump(JsonNumber(-0.0)), "0");
  EXPECT_EQ(Dump(JsonNumber(1e15)), "1000000000000000");
  EXPECT_EQ(Dump(JsonNumber(9007199254740992.0)), "9007199254740992");
  EXPECT_EQ(Dump(JsonNumber(-9007199254740992.0)), "-9007199254740992");
}

TEST(JsonLinesNumbers, OthersInTheShortestExactForm) {
  EXPECT_EQ(Dump(JsonNumber(2.5)), "2.5");
  EXPECT_EQ(Dump(JsonNumber(0.1)), "0.1");
  EXPECT_EQ(Dump(JsonNumber(1e300)), "1e+300");
  EXPECT_EQ(Dump(JsonNumber(18014398509481984.0)), "1.8014398509481984e+16");  // 2^54
  EXPECT_EQ(Dump(JsonNumber(1e16)), "1e+16");
  EXPECT_EQ(Dump(JsonNumber(-1.5)), "-1.5");
}

TEST(JsonLinesValues, EveryVariantType) {
  EXPECT_EQ(Dump(JsonValue(Value())), "null");
  EXPECT_EQ(Dump(JsonValue(Value::Integer(-32768))), "-32768");
  EXPECT_EQ(Dump(JsonValue(Value::Long(2147483647))), "2147483647");
  EXPECT_EQ(Dump(JsonValue(Value::Double(4.0))), "4");
  EXPECT_EQ(Dump(JsonValue(Value::Double(0.5))), "0.5");
  EXPECT_EQ(Dump(JsonValue(Value::String("a\"b"))), "\"a\\\"b\"");
  EXPECT_EQ(Dump(JsonValue(Value::Boolean(true))), "true");
  EXPECT_EQ(Dump(JsonValue(Value::Boolean(false))), "false");
}

TEST(JsonLinesWrite, CompactLinesInKeyOrder) {
  std::ostringstream out;
  JsonLines lines(out);
  lines.Notify(12, "CR_MSGX");
  Json object;
  object["line"] = 3;
  object["op"] = "get";
  object["name"] = "Mode";
  object["ok"] = true;
  object["value"] = "caf\xC3\xA9\x01";
  lines.Write(object);
  EXPECT_EQ(out.str(),
            "{\"line\":12,\"op\":\"notify\",\"name\":\"CR_MSGX\"}\n"
            "{\"line\":3,\"op\":\"get\",\"name\":\"Mode\",\"ok\":true,\"value\":\"caf\xC3\xA9"
            "\\u0001\"}\n");
}

TEST(JsonLinesWrite, ErrorObject) {
  EXPECT_EQ(Dump(JsonError(PlatformError(382))),
            "{\"number\":382,\"description\":\"Set not supported at runtime\"}");
}

}  // namespace
}  // namespace pellix::script
