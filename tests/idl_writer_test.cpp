// The type library as IDL: the library attributes, the 52 members of _ALG_V1S in interface
// order with their dispatch identifiers, flags and types, the three events and the control
// class, as a COM developer reads them.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "host/render/idl_writer.h"
#include "interface_golden.h"

namespace pellix {
namespace {

// The part of `text` from the line holding `start` to the first "};" after it.
std::string Block(const std::string& text, const std::string& start) {
  std::size_t from = text.find(start);
  if (from == std::string::npos) return "";
  std::size_t to = text.find("};", from);
  return text.substr(from, to == std::string::npos ? std::string::npos : to + 2 - from);
}

struct Declared {
  std::string attributes;  // inside the brackets
  std::string name;
  std::string parameters;
};

// Every "[attributes] HRESULT Name(parameters);" of a block, in order.
std::vector<Declared> Members(const std::string& block) {
  static const std::regex kMember(R"(\[([^\]]*)\]\s*HRESULT (\w+)\(([^)]*)\);)");
  std::vector<Declared> out;
  for (std::sregex_iterator it(block.begin(), block.end(), kMember), end; it != end; ++it) {
    out.push_back({(*it)[1], (*it)[2], (*it)[3]});
  }
  return out;
}

constexpr const char* kHelp =
    "helpstring(\"Returns/sets the text displayed in an object's title bar or below an "
    "object's icon.\")";

TEST(IdlWriterTest, LibraryBlockCarriesTheIdentity) {
  const std::string idl = TypeLibraryIdl();
  EXPECT_NE(idl.find("[\n"
                     "  uuid(5F25282C-5E02-4B32-8C73-7B070CB1D531),\n"
                     "  version(1.0),\n"
                     "  lcid(0x409),\n"
                     "  helpstring(\"Kelvane ActiveX VR1J\")\n"
                     "]\n"
                     "library Pellix\n"
                     "{\n"),
            std::string::npos)
      << idl.substr(0, 400);
  EXPECT_NE(idl.find("importlib(\"stdole2.tlb\");"), std::string::npos);
  EXPECT_EQ(idl.substr(idl.size() - 3), "};\n");
}

TEST(IdlWriterTest, InterfaceIsDualWithItsIdentifier) {
  const std::string idl = TypeLibraryIdl();
  EXPECT_NE(idl.find("    [\n"
                     "      odl,\n"
                     "      uuid(C7B328BE-DDC6-416F-9B55-77F3F9DD832A),\n"
                     "      dual,\n"
                     "      oleautomation\n"
                     "    ]\n"
                     "    interface _ALG_V1S : IDispatch {\n"),
            std::string::npos);
}

TEST(IdlWriterTest, FiftyTwoMembersInInterfaceOrder) {
  auto members = Members(Block(TypeLibraryIdl(), "interface _ALG_V1S : IDispatch"));
  const std::vector<testing::GoldenPosition> positions = testing::GoldenPositions();
  ASSERT_EQ(members.size(), positions.size());
  for (std::size_t at = 0; at < positions.size(); ++at) {
    const testing::GoldenPosition& expected = positions[at];
    char id[32];
    std::snprintf(id, sizeof id, "id(0x%08X)", static_cast<unsigned>(expected.dispid));
    const std::string attributes = expected.kind == 'm'   ? std::string(id)
                                   : expected.kind == 'g' ? std::string(id) + ", propget"
                                                          : std::string(id) + ", propput";
    EXPECT_EQ(members[at].name, expected.name) << "position " << at;
    EXPECT_EQ(members[at].attributes.substr(0, attributes.size()), attributes) << at;
    if (expected.kind == 'm') {
      EXPECT_EQ(members[at].attributes, attributes) << at;
    }
  }
}

TEST(IdlWriterTest, MembersAsACOMDeveloperWritesThem) {
  const std::string block = Block(TypeLibraryIdl(), "interface _ALG_V1S : IDispatch");
  for (const char* expected : {
           "        [id(0x60030017)]\n"
           "        HRESULT Calibrate([out, retval] VARIANT* result);\n",
           "        [id(0x60030020)]\n"
           "        HRESULT profiler([out, retval] VARIANT* result);\n",
           "        [id(0x68030016), propget, hidden]\n"
           "        HRESULT DATAstr([out, retval] BSTR* value);\n"
           "        [id(0x68030016), propput, hidden]\n"
           "        HRESULT DATAstr([in] BSTR value);\n",
           "        [id(0x68030015), propget]\n"
           "        HRESULT DensityLevel([out, retval] short* value);\n"
           "        [id(0x68030015), propput]\n"
           "        HRESULT DensityLevel([in] short value);\n",
           "        [id(0x68030012), propget, hidden]\n"
           "        HRESULT CR_SFLC([out, retval] VARIANT* value);\n"
           "        [id(0x68030012), propput, hidden]\n"
           "        HRESULT CR_SFLC([in] VARIANT value);\n",
       }) {
    EXPECT_NE(block.find(expected), std::string::npos) << expected;
  }
  EXPECT_NE(block.find(std::string("        [id(0x6803000D), propput, ") + kHelp +
                       "]\n        HRESULT CR_msgX([in] BSTR value);\n"),
            std::string::npos);
}

TEST(IdlWriterTest, HiddenFlagsAndHelpStringsWhereTheInterfaceHasThem) {
  auto members = Members(Block(TypeLibraryIdl(), "interface _ALG_V1S : IDispatch"));
  auto golden = [](const std::string& name) {
    for (const testing::GoldenMember& m : testing::kGoldenInterface) {
      if (m.name == name) return m;
    }
    ADD_FAILURE() << name;
    return testing::GoldenMember{};
  };
  int help_count = 0;
  for (const Declared& m : members) {
    const bool has_help = m.attributes.find(kHelp) != std::string::npos;
    help_count += has_help;
    const testing::GoldenMember expected = golden(m.name);
    EXPECT_EQ(has_help, expected.help) << m.name;
    EXPECT_EQ(m.attributes.find(", hidden") != std::string::npos, expected.hidden) << m.name;
    // Types: 16-bit integers are short, variants (CR_SFLC, a method's result) VARIANT.
    const std::string type = expected.type == 'i'   ? "short"
                             : expected.type == 'v' ? "VARIANT"
                                                    : "BSTR";
    if (m.attributes.find("propput") != std::string::npos) {
      EXPECT_EQ(m.parameters, "[in] " + type + " value") << m.name;
    } else {
      EXPECT_EQ(m.parameters.substr(0, 14 + type.size() + 1), "[out, retval] " + type + "*")
          << m.name;
    }
  }
  EXPECT_EQ(help_count, 34);  // 17 properties, get and put
}

TEST(IdlWriterTest, EventInterfaceDeclaresThreeEvents) {
  const std::string block = Block(TypeLibraryIdl(), "dispinterface __ALG_V1S {");
  EXPECT_EQ(block,
            "dispinterface __ALG_V1S {\n"
            "        properties:\n"
            "        methods:\n"
            "            [id(0x00000001)]\n"
            "            void InitProperties();\n"
            "            [id(0x00000002)]\n"
            "            void ReadProperties([in, out] PropertyBag** PropBag);\n"
            "            [id(0x00000003)]\n"
            "            void WriteProperties([in, out] PropertyBag** PropBag);\n"
            "    };");
  EXPECT_NE(TypeLibraryIdl().find("    [\n      uuid(26D14D03-543D-46EF-8AFC-98B14F9627C3)\n    ]\n"
                                  "    dispinterface __ALG_V1S {"),
            std::string::npos);
}

TEST(IdlWriterTest, ControlClassJoinsTheInterfaces) {
  const std::string idl = TypeLibraryIdl();
  EXPECT_NE(idl.find("    [\n"
                     "      uuid(DCDCC0A1-B7C2-4620-B8CF-5302339058E8),\n"
                     "      control\n"
                     "    ]\n"
                     "    coclass ALG_V1S {\n"
                     "        [default] interface _ALG_V1S;\n"
                     "        [default, source] dispinterface __ALG_V1S;\n"
                     "    };\n"),
            std::string::npos);
  // The forward declarations come before any use.
  EXPECT_LT(idl.find("    interface _ALG_V1S;\n"), idl.find("interface _ALG_V1S : IDispatch"));
  EXPECT_LT(idl.find("    dispinterface __ALG_V1S;\n"), idl.find("dispinterface __ALG_V1S {"));
}

TEST(IdlWriterTest, BracketsAndBracesBalance) {
  const std::string idl = TypeLibraryIdl();
  int braces = 0, brackets = 0, parens = 0;
  bool in_string = false;
  for (std::size_t i = 0; i < idl.size(); ++i) {
    char c = idl[i];
    if (c == '"' && (i == 0 || idl[i - 1] != '\\')) in_string = !in_string;
    if (in_string) continue;
    braces += (c == '{') - (c == '}');
    brackets += (c == '[') - (c == ']');
    parens += (c == '(') - (c == ')');
    ASSERT_GE(braces, 0);
    ASSERT_GE(brackets, 0);
    ASSERT_GE(parens, 0);
  }
  EXPECT_FALSE(in_string);
  EXPECT_EQ(braces, 0);
  EXPECT_EQ(brackets, 0);
  EXPECT_EQ(parens, 0);
}

}  // namespace
}  // namespace pellix
