// The per-user class registry: a JSON object in $XDG_DATA_HOME/Pellix/registry.json (else
// ~/.local/share/Pellix/registry.json) whose keys are class identifiers in registry form, each
// holding "progid", "library" (absolute path) and "threading". Registration adds or removes
// this library's class and keeps the others; the loader creates a class from it.
#include <dlfcn.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "component/failure.h"
#include "component/program_name.h"
#include "control/component_identity.h"
#include "files/atomic_file.h"
#include "files/file_error.h"
#include "files/file_system.h"
#include "files/safe_read.h"
#include "platform/error.h"

namespace pellix::component {

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

[[noreturn]] void Fail(int number, const std::string& detail) {
  throw StatusError(static_cast<HRESULT>(ErrorStatus(number)),
                    std::string(ErrorDescription(number)) + ": " + detail);
}

fs::path RegistryPath() {
  const char* data_home = std::getenv("XDG_DATA_HOME");
  fs::path base;
  if (data_home != nullptr && data_home[0] == '/') {
    base = data_home;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
      const passwd* entry = ::getpwuid(::getuid());
      home = entry != nullptr ? entry->pw_dir : nullptr;
    }
    if (home == nullptr) Fail(kPathFileAccessError, "no home folder for the registry");
    base = fs::path(home) / ".local" / "share";
  }
  return base / "Pellix" / "registry.json";
}

// A registry holds a few lines per class: a file larger than this is not one.
constexpr std::uint64_t kMaxRegistryBytes = 1u << 20;

// The registry's object; an empty one when the file does not exist yet. Read through the
// guarded reader, so a pipe, a device, a huge or a deeply nested file fails at once.
Json ReadRegistry(const fs::path& path) {
  std::string text;
  try {
    text = ReadJsonText(path.string(), {.max_bytes = kMaxRegistryBytes});
  } catch (const FileError& e) {
    if (e.number() == kFileNotFound) return Json::object();
    Fail(e.number(), path.string() + ": " + e.what());
  }
  Json registry = Json::parse(text, nullptr, false);
  if (registry.is_discarded() || !registry.is_object()) Fail(kInvalidFileFormat, path.string());
  for (const auto& [key, entry] : registry.items()) {
    if (!entry.is_object() || !entry.contains("library") || !entry["library"].is_string()) {
      Fail(kInvalidFileFormat, path.string());
    }
  }
  return registry;
}

// Replaces the registry file atomically (WriteFileAtomically).
void WriteRegistry(const fs::path& path, const Json& registry) {
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  if (error) Fail(FileErrorNumber(error.value()), path.parent_path().string());
  try {
    WriteFileAtomically(path.string(), registry.dump(2) + "\n");
  } catch (const FileError& e) {
    Fail(e.number(), path.string() + ": " + e.what());
  }
}

// The absolute path of this library.
std::string OwnLibraryPath() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&RegistryPath), &info) == 0 || info.dli_fname == nullptr) {
    Fail(kPathFileAccessError, "cannot find the component library's own path");
  }
  std::error_code error;
  const fs::path path = fs::canonical(info.dli_fname, error);
  return error ? std::string(info.dli_fname) : path.string();
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" as an identifier.
std::optional<GUID> ParseGuid(std::string_view text) {
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return std::nullopt;
  std::uint8_t bytes[16];
  std::size_t count = 0;
  for (std::size_t i = 1; i + 1 < text.size();) {
    if (text[i] == '-') {
      if (i != 9 && i != 14 && i != 19 && i != 24) return std::nullopt;
      ++i;
      continue;
    }
    const int high = HexDigit(text[i]);
    const int low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0 || count == 16) return std::nullopt;
    bytes[count++] = static_cast<std::uint8_t>(high * 16 + low);
    i += 2;
  }
  if (count != 16) return std::nullopt;
  GUID id;
  id.Data1 = static_cast<std::uint32_t>(bytes[0]) << 24 |
             static_cast<std::uint32_t>(bytes[1]) << 16 |
             static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
  id.Data2 = static_cast<std::uint16_t>(bytes[4] << 8 | bytes[5]);
  id.Data3 = static_cast<std::uint16_t>(bytes[6] << 8 | bytes[7]);
  for (int k = 0; k < 8; ++k) id.Data4[k] = bytes[8 + k];
  return id;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

HRESULT CreateFromRegistry(std::string_view name, const IID* riid, void** ppv) {
  const Json registry = ReadRegistry(RegistryPath());
  for (const auto& [key, entry] : registry.items()) {
    const bool by_id = SameIgnoringCase(key, name);
    const bool by_program = entry.contains("progid") && entry["progid"].is_string() &&
                            entry["progid"].get<std::string>() == name;
    if (!by_id && !by_program) continue;
    const std::optional<GUID> id = ParseGuid(key);
    if (!id) Fail(kInvalidFileFormat, RegistryPath().string());
    const std::string library = entry["library"].get<std::string>();
    // The library stays loaded: objects it hands out may outlive this call.
    void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) Fail(kFileNotFound, library);
    using GetClassObject = HRESULT (*)(const CLSID*, const IID*, void**);
    auto get_class_object = reinterpret_cast<GetClassObject>(::dlsym(handle, "DllGetClassObject"));
    if (get_class_object == nullptr) Fail(kInvalidFileFormat, library);
    IClassFactory* factory = nullptr;
    HRESULT status = get_class_object(&*id, &IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (status < 0) return status;
    status = factory->lpVtbl->CreateInstance(factory, nullptr, riid, ppv);
    factory->lpVtbl->Release(factory);
    return status;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace

}  // namespace pellix::component

using pellix::component::Guarded;
using pellix::component::Refuse;

extern "C" {

PELLIX_API HRESULT DllRegisterServer(void) {
  using namespace pellix::component;
  return Guarded([] {
    const auto path = RegistryPath();
    Json registry = ReadRegistry(path);
    registry[pellix::GuidText(pellix::kClassId)] = {{"progid", std::string(kProgramName)},
                                                    {"library", OwnLibraryPath()},
                                                    {"threading", "Apartment"}};
    WriteRegistry(path, registry);
    return S_OK;
  });
}

PELLIX_API HRESULT DllUnregisterServer(void) {
  using namespace pellix::component;
  return Guarded([] {
    const auto path = RegistryPath();
    Json registry = ReadRegistry(path);
    if (registry.erase(pellix::GuidText(pellix::kClassId)) == 0) return S_OK;
    WriteRegistry(path, registry);
    return S_OK;
  });
}

PELLIX_API HRESULT PellixCreateInstance(const char* name, const IID* riid, void** ppv) {
  if (ppv == nullptr) return Refuse(E_POINTER);
  *ppv = nullptr;
  if (name == nullptr || riid == nullptr) return Refuse(E_POINTER);
  return Guarded([&] { return pellix::component::CreateFromRegistry(name, riid, ppv); });
}

}  // extern "C"
