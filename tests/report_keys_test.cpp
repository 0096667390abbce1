// The report's one key table against what is written beside it: the JSON Schema users validate
// rows with, and the C library's result struct, whose fields are keys of the report.
#include "analysis/report_keys.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/enum_table.h"

namespace pellix::analysis {
namespace {

std::string Read(const std::string& name) {
  std::ifstream in(std::string(PELLIX_SOURCE_DIR) + "/" + name);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The JSON types a key's values take, as the table declares it.
std::set<std::string> TableTypes(const ReportKey& key) {
  constexpr EnumEntry<KeyType, const char*> kJsonTypes[] = {{KeyType::kText, "string"},
                                                            {KeyType::kWhole, "integer"},
                                                            {KeyType::kReal, "number"},
                                                            {KeyType::kFlags, "array"}};
  std::set<std::string> types = {MeaningOf(kJsonTypes, key.type, "unknown")};
  if (key.control_text) types.insert("string");
  if (key.nullable) types.insert("null");
  return types;
}

// The same as the schema declares it: by "type", by each branch of "oneOf", or a list of texts.
std::set<std::string> SchemaTypes(const nlohmann::ordered_json& property) {
  std::set<std::string> types;
  auto add = [&types](const nlohmann::ordered_json& type) {
    if (type.is_array()) {
      for (const auto& t : type) types.insert(t.get<std::string>());
    } else {
      types.insert(type.get<std::string>());
    }
  };
  if (property.contains("type")) add(property["type"]);
  if (property.contains("oneOf")) {
    for (const auto& branch : property["oneOf"]) add(branch["type"]);
  }
  if (property.contains("enum")) {
    for (const auto& value : property["enum"]) {
      types.insert(value.is_null() ? "null" : value.is_string() ? "string" : "other");
    }
  }
  return types;
}

TEST(ReportKeys, TheSchemaDescribesEveryKeyInOrderWithTheTablesTypesAndWords) {
  const nlohmann::ordered_json schema =
      nlohmann::ordered_json::parse(Read("docs/report.schema.json"));
  std::vector<std::string> properties;  // in the file's order, without the profile's extras
  for (const auto& [name, property] : schema["properties"].items()) {
    if (name != "digits" && name != "percentages") properties.push_back(name);
  }
  ASSERT_EQ(properties.size(), kReportKeys.size());
  std::vector<std::string> required;
  for (std::size_t i = 0; i < kReportKeys.size(); ++i) {
    const ReportKey& key = kReportKeys[i];
    EXPECT_EQ(properties[i], key.name) << i;
    const nlohmann::ordered_json& property = schema["properties"][std::string(key.name)];
    EXPECT_EQ(SchemaTypes(property), TableTypes(key)) << key.name;
    EXPECT_EQ(property["description"], std::string(key.description)) << key.name;
    if (!key.listen_only) required.emplace_back(key.name);
  }
  EXPECT_EQ(schema["required"].get<std::vector<std::string>>(), required);
}

// A struct's fields as the header declares them: "double a, b;" gives a and b.
std::vector<std::pair<std::string, std::string>> Fields(const std::string& header,
                                                        const std::string& name) {
  const std::size_t start = header.find("typedef struct " + name + " {");
  const std::size_t end = header.find("} " + name + ";", start);
  std::string body = header.substr(start, end - start);
  body = std::regex_replace(body, std::regex(R"(/\*[\s\S]*?\*/)"), "");
  std::vector<std::pair<std::string, std::string>> fields;
  const std::regex declaration(R"((const char\*|double|int32_t|uint32_t) ([a-z_0-9, ]+);)");
  for (std::sregex_iterator it(body.begin(), body.end(), declaration), last; it != last; ++it) {
    std::istringstream names((*it)[2].str());
    for (std::string field; std::getline(names, field, ',');) {
      field.erase(0, field.find_first_not_of(' '));
      fields.emplace_back((*it)[1].str(), field);
    }
  }
  return fields;
}

TEST(ReportKeys, TheCResultsFieldsAreKeysOfTheirType) {
  const auto fields = Fields(Read("analysis_c/include/PellixAnalysis.h"), "PellixTakeResult");
  // The error, file, code and meaning; 21 numbers; the flags; 5 texts; refused.
  ASSERT_EQ(fields.size(), 33u);
  const std::set<std::string> own = {"warnings", "json", "csv", "refused"};
  std::size_t keys = 0;
  for (const auto& field : fields) {
    const std::string& type = field.first;
    const std::string& name = field.second;
    if (own.contains(name)) continue;
    const auto* key = std::find_if(kReportKeys.begin(), kReportKeys.end(),
                                   [&](const ReportKey& k) { return k.name == name; });
    ASSERT_NE(key, kReportKeys.end()) << name;
    ++keys;
    if (type == "double") {
      EXPECT_TRUE(key->type == KeyType::kReal || key->type == KeyType::kWhole) << name;
    } else {
      const KeyType want = type == "int32_t"    ? KeyType::kWhole
                           : type == "uint32_t" ? KeyType::kFlags
                                                : KeyType::kText;
      EXPECT_EQ(key->type, want) << name;
    }
  }
  EXPECT_EQ(keys, 29u);
}

}  // namespace
}  // namespace pellix::analysis
