// Type information of _ALG_V1S, read from the interface table: for each member its name,
// dispatch identifier, kind, type, hidden flag, help string and place in the function table.
#include <cstring>
#include <new>

#include "component/bstr.h"
#include "component/dispatch.h"
#include "component/failure.h"
#include "component/program_name.h"
#include "component/ref_counted.h"
#include "control/component_identity.h"
#include "control/interface_table.h"
#include "platform/enum_table.h"

namespace pellix::component {

namespace {

constexpr std::size_t kEntryBytes = sizeof(void (*)());
constexpr std::size_t kLeadingEntries = 7;  // IUnknown's three, IDispatch's four

const ITypeInfoVtbl& TypeInfoTable();

struct TypeInfo final : SingleInterface<TypeInfo, ITypeInfo, IID_ITypeInfo> {
  TypeInfo() noexcept : SingleInterface(TypeInfoTable()) {}
};

// A function description and the one parameter a put has, released together.
struct FuncDescBlock {
  FUNCDESC desc;
  ELEMDESC parameter;
};

// A member's value as the type information declares it; every other type is a variant.
constexpr EnumEntry<ValueType, VARTYPE> kAutomationTypes[] = {{ValueType::kInteger, VT_I2},
                                                              {ValueType::kString, VT_BSTR}};

VARTYPE AutomationType(ValueType type) {
  return MeaningOf(kAutomationTypes, type, VT_VARIANT);
}

// A method is invoked as a function.
constexpr EnumEntry<MemberKind, INVOKEKIND> kInvokeKinds[] = {
    {MemberKind::kPropertyGet, INVOKE_PROPERTYGET}, {MemberKind::kPropertyPut, INVOKE_PROPERTYPUT}};

INVOKEKIND InvokeKindOf(MemberKind kind) {
  return MeaningOf(kInvokeKinds, kind, INVOKE_FUNC);
}

const InterfaceMember* MemberOf(MEMBERID memid) {
  for (const InterfaceMember& member : InterfaceTable()) {
    if (member.dispid == memid) return &member;
  }
  return nullptr;
}

HRESULT Text(std::string_view text, BSTR* out) {
  if (out != nullptr) *out = BstrFromText(text);
  return S_OK;
}

HRESULT GetTypeAttr(ITypeInfo* self, TYPEATTR** out) {
  if (self == nullptr || out == nullptr) return E_POINTER;
  *out = nullptr;
  auto* attr = new (std::nothrow) TYPEATTR{};
  if (attr == nullptr) return E_OUTOFMEMORY;
  attr->guid = IID__ALG_V1S;
  attr->lcid = kLibraryLocale;
  attr->memidConstructor = MEMBERID_NIL;
  attr->memidDestructor = MEMBERID_NIL;
  attr->cbSizeInstance = sizeof(void*);
  attr->typekind = TKIND_DISPATCH;
  attr->cFuncs = static_cast<WORD>(InterfaceTable().size());
  attr->cImplTypes = 1;
  attr->cbSizeVft = static_cast<WORD>((kLeadingEntries + InterfaceTable().size()) * kEntryBytes);
  attr->cbAlignment = alignof(void*);
  attr->wTypeFlags = TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE;
  attr->wMajorVerNum = kLibraryMajorVersion;
  attr->wMinorVerNum = kLibraryMinorVersion;
  attr->tdescAlias.vt = VT_EMPTY;
  *out = attr;
  return S_OK;
}

// Index is the member's position. A get returns the property's type, a put takes it as its
// one parameter and returns nothing, a method returns a variant.
HRESULT GetFuncDesc(ITypeInfo* self, UINT index, FUNCDESC** out) {
  if (self == nullptr || out == nullptr) return E_POINTER;
  *out = nullptr;
  if (index >= InterfaceTable().size()) return DISP_E_BADINDEX;
  const InterfaceMember& member = InterfaceTable()[index];
  auto* block = new (std::nothrow) FuncDescBlock{};
  if (block == nullptr) return E_OUTOFMEMORY;
  FUNCDESC& desc = block->desc;
  desc.memid = member.dispid;
  desc.funckind = FUNC_DISPATCH;
  desc.invkind = InvokeKindOf(member.kind);
  desc.callconv = CC_CDECL;
  desc.oVft = static_cast<std::int16_t>((kLeadingEntries + index) * kEntryBytes);
  desc.wFuncFlags = member.hidden ? FUNCFLAG_FHIDDEN : 0;
  switch (member.kind) {
    case MemberKind::kMethod:
      desc.elemdescFunc.tdesc.vt = VT_VARIANT;
      break;
    case MemberKind::kPropertyGet:
      desc.elemdescFunc.tdesc.vt = AutomationType(member.type);
      break;
    case MemberKind::kPropertyPut:
      desc.elemdescFunc.tdesc.vt = VT_VOID;
      desc.cParams = 1;
      block->parameter.tdesc.vt = AutomationType(member.type);
      block->parameter.u.paramdesc.wParamFlags = PARAMFLAG_FIN;
      desc.lprgelemdescParam = &block->parameter;
      break;
  }
  *out = &block->desc;
  return S_OK;
}

HRESULT GetNames(ITypeInfo* self, MEMBERID memid, BSTR* names, UINT max, UINT* count) {
  if (self == nullptr || names == nullptr || count == nullptr) return E_POINTER;
  *count = 0;
  const InterfaceMember* member = MemberOf(memid);
  if (member == nullptr) return DISP_E_MEMBERNOTFOUND;
  if (max == 0) return S_OK;
  return Guarded([&] {
    names[0] = BstrFromText(member->name);
    *count = 1;
    return S_OK;
  });
}

HRESULT GetIDsOfNames(ITypeInfo* self, LPOLESTR* names, UINT count, MEMBERID* ids) {
  if (self == nullptr || names == nullptr || ids == nullptr) return E_POINTER;
  if (count == 0) return E_INVALIDARG;
  ids[0] = DispatchIdOfName(names[0]);
  for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  return ids[0] == DISPID_UNKNOWN || count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT GetDocumentation(ITypeInfo* self, MEMBERID memid, BSTR* name, BSTR* doc, DWORD* context,
                         BSTR* file) {
  if (self == nullptr) return E_POINTER;
  for (BSTR* out : {name, doc, file}) {
    if (out != nullptr) *out = nullptr;
  }
  if (context != nullptr) *context = 0;
  std::string_view member_name = "_ALG_V1S";
  std::string_view help;
  if (memid != MEMBERID_NIL) {
    const InterfaceMember* member = MemberOf(memid);
    if (member == nullptr) return DISP_E_MEMBERNOTFOUND;
    member_name = member->name;
    help = member->help;
  }
  const HRESULT status = Guarded([&] {
    Text(member_name, name);
    Text(help, doc);
    return S_OK;
  });
  if (status < 0) {
    for (BSTR* out : {name, doc}) {
      if (out != nullptr) FreeBstr(*out), *out = nullptr;
    }
  }
  return status;
}

void ReleaseTypeAttr(ITypeInfo*, TYPEATTR* attr) {
  delete attr;
}
void ReleaseFuncDesc(ITypeInfo*, FUNCDESC* desc) {
  // The description is the first member of the block it was handed out in.
  delete reinterpret_cast<FuncDescBlock*>(desc);
}
void ReleaseVarDesc(ITypeInfo*, void*) {}

// What a host needs only to call, not to list, members: not provided.
template <class... Arguments>
HRESULT NotImplemented(ITypeInfo*, Arguments...) {
  return E_NOTIMPL;
}

HRESULT NullOut(void** out) {
  if (out != nullptr) *out = nullptr;
  return E_NOTIMPL;
}
HRESULT GetTypeComp(ITypeInfo*, void** out) {
  return NullOut(out);
}
HRESULT GetVarDesc(ITypeInfo*, UINT, void** out) {
  return NullOut(out);
}
HRESULT GetRefTypeInfo(ITypeInfo*, DWORD, ITypeInfo** out) {
  if (out != nullptr) *out = nullptr;
  return E_NOTIMPL;
}
HRESULT AddressOfMember(ITypeInfo*, MEMBERID, INVOKEKIND, void** out) {
  return NullOut(out);
}
HRESULT CreateInstance(ITypeInfo*, IUnknown*, const IID*, void** out) {
  return NullOut(out);
}
HRESULT GetContainingTypeLib(ITypeInfo*, void** out, UINT*) {
  return NullOut(out);
}

constexpr ITypeInfoVtbl kVtbl = {
    FaceQueryInterface<TypeInfo, ITypeInfo>,
    FaceAddRef<TypeInfo, ITypeInfo>,
    FaceRelease<TypeInfo, ITypeInfo>,
    GetTypeAttr,
    GetTypeComp,
    GetFuncDesc,
    GetVarDesc,
    GetNames,
    NotImplemented<UINT, DWORD*>,
    NotImplemented<UINT, std::int32_t*>,
    GetIDsOfNames,
    NotImplemented<void*, MEMBERID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*>,
    GetDocumentation,
    NotImplemented<MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*>,
    GetRefTypeInfo,
    AddressOfMember,
    CreateInstance,
    NotImplemented<MEMBERID, BSTR*>,
    GetContainingTypeLib,
    ReleaseTypeAttr,
    ReleaseFuncDesc,
    ReleaseVarDesc,
};

const ITypeInfoVtbl& TypeInfoTable() {
  return kVtbl;
}

}  // namespace

ITypeInfo* NewTypeInfo() {
  return (new TypeInfo())->iface();
}

}  // namespace pellix::component

namespace {

GUID CGuid(const pellix::Guid& id) {
  GUID out;
  out.Data1 = id.data1;
  out.Data2 = id.data2;
  out.Data3 = id.data3;
  for (std::size_t i = 0; i < 8; ++i) out.Data4[i] = id.data4[i];
  return out;
}

}  // namespace

extern "C" PELLIX_API const PellixTypeLibraryInfo* PellixTypeLibrary(void) {
  // The names and the help string are literals, so their views end in a zero.
  static const PellixTypeLibraryInfo info = {
      pellix::kLibraryName.data(),      CGuid(pellix::kLibraryId),
      pellix::kLibraryLocale,           pellix::kLibraryMajorVersion,
      pellix::kLibraryMinorVersion,     pellix::kLibraryHelpString.data(),
      CGuid(pellix::kClassId),          CGuid(pellix::kInterfaceId),
      CGuid(pellix::kEventInterfaceId), pellix::component::kProgramName.data()};
  return &info;
}
