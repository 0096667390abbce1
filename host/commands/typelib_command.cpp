// pellix typelib: prints the control library's type library as IDL.
#include <iostream>

#include "host/commands/command.h"
#include "host/render/idl_writer.h"

namespace pellix {
namespace {

constexpr const char* kTypelibHelp =
    R"(The IDL is generated from the control's interface table: the library, the dual
interface _ALG_V1S with its 52 members in interface order, the event interface __ALG_V1S
and the control class ALG_V1S.

Examples:
  pellix typelib
  pellix typelib > Pellix.idl)";

}  // namespace

void AddTypelibCommand(CLI::App& app, CommandAction& action, LineOptions&) {
  CLI::App* command = app.add_subcommand("typelib", "Print the type library of the control as IDL");
  command->footer(kTypelibHelp);
  command->callback([&action] {
    action = [] {
      std::cout << TypeLibraryIdl();
      return std::cout.flush() ? 0 : 1;
    };
  });
}

}  // namespace pellix
