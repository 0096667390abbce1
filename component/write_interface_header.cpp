// Build tool: writes PellixInterface.h, the part of the C header that describes the control's
// own interface (identifiers, dispatch identifiers, the function table of _ALG_V1S), from the
// interface table, so that the header never repeats a member by hand.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

#include "control/component_identity.h"
#include "control/interface_table.h"
#include "platform/enum_table.h"

namespace pellix {
namespace {

std::string GuidInitializer(const Guid& id) {
  char text[128];
  std::snprintf(text, sizeof text,
                "{0x%08X, 0x%04X, 0x%04X, {0x%02X, 0x%02X, 0x%02X, 0x%02X, 0x%02X, 0x%02X, "
                "0x%02X, 0x%02X}}",
                id.data1, id.data2, id.data3, id.data4[0], id.data4[1], id.data4[2], id.data4[3],
                id.data4[4], id.data4[5], id.data4[6], id.data4[7]);
  return text;
}

// A member's value in C; every other type is a variant. The header spells the platform's types
// with their prefix, so that it compiles under PELLIX_NO_LEGACY_NAMES too.
constexpr EnumEntry<ValueType, std::string_view> kCTypes[] = {{ValueType::kInteger, "int16_t"},
                                                              {ValueType::kString, "PellixBSTR"}};

std::string_view CType(ValueType type) {
  return MeaningOf(kCTypes, type, "PellixVARIANT");
}

// One entry of the function table, in the form the interface table gives it.
std::string Entry(const InterfaceMember& m) {
  const std::string name(m.name);
  switch (m.kind) {
    case MemberKind::kMethod:
      return "  PellixHRESULT (*" + name + ")(_ALG_V1S* self, PellixVARIANT* result);";
    case MemberKind::kPropertyGet:
      return "  PellixHRESULT (*get_" + name + ")(_ALG_V1S* self, " + std::string(CType(m.type)) +
             "* value);";
    case MemberKind::kPropertyPut:
      return "  PellixHRESULT (*put_" + name + ")(_ALG_V1S* self, " + std::string(CType(m.type)) +
             " value);";
  }
  return {};
}

std::string Header() {
  std::string out;
  out += "/* PellixInterface.h: generated from the control's interface table; included by\n";
  out += " * Pellix.h. Do not edit. */\n";
  out += "#ifndef PELLIX_INTERFACE_H\n#define PELLIX_INTERFACE_H\n\n";
  out += "#ifdef __cplusplus\nextern \"C\" {\n#endif\n\n";
  out += "/* The type library, the control class, its default interface and its events. */\n";
  out += "static const PellixGUID LIBID_Pellix = " + GuidInitializer(kLibraryId) + ";\n";
  out += "static const PellixCLSID CLSID_ALG_V1S = " + GuidInitializer(kClassId) + ";\n";
  out += "static const PellixIID IID__ALG_V1S = " + GuidInitializer(kInterfaceId) + ";\n";
  out += "static const PellixIID DIID___ALG_V1S = " + GuidInitializer(kEventInterfaceId) + ";\n\n";

  out += "/* Dispatch identifiers of the members of _ALG_V1S. */\nenum {\n";
  for (const InterfaceMember& m : InterfaceTable()) {
    if (m.kind == MemberKind::kPropertyPut) continue;
    char id[16];
    std::snprintf(id, sizeof id, "0x%08X", static_cast<unsigned>(m.dispid));
    out += "  DISPID_ALG_V1S_" + std::string(m.name) + " = " + id + ",\n";
  }
  out += "  DISPID_ALG_V1S_END_ = 0\n};\n\n";

  out += "/* The dual interface _ALG_V1S: IDispatch's entries, then the members in interface\n";
  out += " * order (member at position p is entry 7 + p). A get fills *value (a BSTR or VARIANT\n";
  out += " * is then the host's); a put takes the value, which stays the host's; a method fills\n";
  out += " * *result with Empty. */\n";
  out += "PELLIX_INTERFACE(_ALG_V1S);\nstruct _ALG_V1SVtbl {\n";
  out += "  PELLIX_IDISPATCH_ENTRIES(_ALG_V1S);\n";
  for (const InterfaceMember& m : InterfaceTable()) out += Entry(m) + "\n";
  out += "};\n\n";
  out += "#ifdef __cplusplus\n}\n#endif\n\n#endif /* PELLIX_INTERFACE_H */\n";
  return out;
}

}  // namespace
}  // namespace pellix

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: pellix_write_interface_header OUT.h\n";
    return 2;
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << pellix::Header();
  out.close();
  if (!out) {
    std::cerr << "pellix_write_interface_header: cannot write " << argv[1] << '\n';
    return 1;
  }
  return 0;
}
