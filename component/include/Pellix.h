/* Pellix.h: the voice-stress analysis control ALG_V1S as a component that C and C++ hosts load
 * at run time from libPellix.so.
 *
 * The binary layout is the one cross-platform component systems use: an interface pointer
 * points to a pointer to a table of functions, and every function takes the interface pointer
 * first and returns a 32-bit status code (negative on failure). x86-64 Linux, default C calling
 * convention. Compiles as C99 and as C++.
 *
 * Ownership, once for all calls below:
 * - Strings (BSTR) that the component returns are the host's to free with PellixSysFreeString;
 *   strings the host passes in stay the host's. A null BSTR reads as the empty text.
 * - Values (VARIANT) that the component fills are the host's to clear with PellixVariantClear;
 *   values the host passes in stay the host's.
 * - Interface pointers that the component returns carry one reference, which the host gives
 *   back with Release.
 * - An instance belongs to the thread that created it: calls from any other thread fail with
 *   RPC_E_WRONG_THREAD (AddRef, Release and QueryInterface excepted).
 * - A failing member returns 0x800A0000 + the platform error number (see PellixErrorNumber)
 *   and leaves a description for PellixGetErrorInfo; Invoke returns DISP_E_EXCEPTION and puts
 *   the same status and description into its exception record. */
#ifndef PELLIX_H
#define PELLIX_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(PELLIX_BUILDING_LIBRARY)
#define PELLIX_API __attribute__((visibility("default")))
#else
#define PELLIX_API
#endif

/* Basic types. */
typedef int32_t HRESULT;
typedef uint32_t ULONG;
typedef int32_t LONG;
typedef int32_t BOOL;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef uint32_t LCID;
typedef int32_t DISPID;
typedef int32_t MEMBERID;
typedef int32_t SCODE;
typedef uint16_t VARTYPE;
typedef int16_t VARIANT_BOOL;
typedef uint16_t OLECHAR;
typedef OLECHAR* BSTR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;

typedef struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
} GUID;
typedef GUID IID;
typedef GUID CLSID;

/* Status codes. */
enum { S_OK = 0, S_FALSE = 1 };
#define PELLIX_STATUS(x) ((HRESULT)(x))
static const HRESULT E_NOTIMPL = PELLIX_STATUS(0x80004001u);
static const HRESULT E_NOINTERFACE = PELLIX_STATUS(0x80004002u);
static const HRESULT E_POINTER = PELLIX_STATUS(0x80004003u);
static const HRESULT E_FAIL = PELLIX_STATUS(0x80004005u);
static const HRESULT E_OUTOFMEMORY = PELLIX_STATUS(0x8007000Eu);
static const HRESULT E_INVALIDARG = PELLIX_STATUS(0x80070057u);
static const HRESULT CLASS_E_NOAGGREGATION = PELLIX_STATUS(0x80040110u);
static const HRESULT CLASS_E_CLASSNOTAVAILABLE = PELLIX_STATUS(0x80040111u);
static const HRESULT DISP_E_UNKNOWNNAME = PELLIX_STATUS(0x80020006u);
static const HRESULT DISP_E_MEMBERNOTFOUND = PELLIX_STATUS(0x80020003u);
static const HRESULT DISP_E_TYPEMISMATCH = PELLIX_STATUS(0x80020005u);
static const HRESULT DISP_E_BADPARAMCOUNT = PELLIX_STATUS(0x8002000Eu);
static const HRESULT DISP_E_PARAMNOTOPTIONAL = PELLIX_STATUS(0x8002000Fu);
static const HRESULT DISP_E_EXCEPTION = PELLIX_STATUS(0x80020009u);
static const HRESULT DISP_E_BADINDEX = PELLIX_STATUS(0x8002000Bu);
static const HRESULT RPC_E_WRONG_THREAD = PELLIX_STATUS(0x8001010Eu);
static const HRESULT CONNECT_E_NOCONNECTION = PELLIX_STATUS(0x80040200u);
/* The status of a member that failed with platform error `number` (facility control). */
static inline HRESULT PellixErrorStatus(int number) {
  return (HRESULT)(0x800A0000u + (uint32_t)number);
}

/* Value records. */
enum {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_UI1 = 17,
  VT_VOID = 24,
  VT_BYREF = 0x4000
};
enum { VARIANT_TRUE = -1, VARIANT_FALSE = 0 };

struct IUnknown;
struct IDispatch;

/* 24 bytes: a type tag, three reserved words, a 16-byte union. */
typedef struct VARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    int16_t iVal;
    int32_t lVal;
    float fltVal;
    double dblVal;
    BSTR bstrVal;
    VARIANT_BOOL boolVal;
    SCODE scode;
    uint8_t bVal;
    struct IUnknown* punkVal;
    struct IDispatch* pdispVal;
    int16_t* piVal;
    int32_t* plVal;
    float* pfltVal;
    double* pdblVal;
    BSTR* pbstrVal;
    VARIANT_BOOL* pboolVal;
    uint8_t* pbVal;
    struct VARIANT* pvarVal;
    void* byref;
    uint64_t reserved[2];
  } u;
} VARIANT;
typedef VARIANT VARIANTARG;

/* Invoke. */
enum { DISPATCH_METHOD = 1, DISPATCH_PROPERTYGET = 2, DISPATCH_PROPERTYPUT = 4 };
enum { DISPID_UNKNOWN = -1, DISPID_PROPERTYPUT = -3, DISPID_AMBIENT_USERMODE = -709 };
enum { MEMBERID_NIL = -1 };

typedef struct DISPPARAMS {
  VARIANTARG* rgvarg; /* arguments, last first */
  DISPID* rgdispidNamedArgs;
  UINT cArgs;
  UINT cNamedArgs;
} DISPPARAMS;

typedef struct EXCEPINFO {
  WORD wCode;
  WORD wReserved;
  BSTR bstrSource;
  BSTR bstrDescription;
  BSTR bstrHelpFile;
  DWORD dwHelpContext;
  void* pvReserved;
  HRESULT (*pfnDeferredFillIn)(struct EXCEPINFO*);
  SCODE scode;
} EXCEPINFO;

/* Type information records, in the platform's field order. */
typedef enum TYPEKIND {
  TKIND_ENUM,
  TKIND_RECORD,
  TKIND_MODULE,
  TKIND_INTERFACE,
  TKIND_DISPATCH,
  TKIND_COCLASS,
  TKIND_ALIAS,
  TKIND_UNION
} TYPEKIND;
typedef enum FUNCKIND {
  FUNC_VIRTUAL,
  FUNC_PUREVIRTUAL,
  FUNC_NONVIRTUAL,
  FUNC_STATIC,
  FUNC_DISPATCH
} FUNCKIND;
typedef enum INVOKEKIND {
  INVOKE_FUNC = 1,
  INVOKE_PROPERTYGET = 2,
  INVOKE_PROPERTYPUT = 4,
  INVOKE_PROPERTYPUTREF = 8
} INVOKEKIND;
typedef enum CALLCONV { CC_FASTCALL, CC_CDECL, CC_MSCPASCAL, CC_PASCAL = CC_MSCPASCAL } CALLCONV;
enum { FUNCFLAG_FHIDDEN = 0x40 };
enum { TYPEFLAG_FHIDDEN = 0x10, TYPEFLAG_FDUAL = 0x40, TYPEFLAG_FDISPATCHABLE = 0x1000 };
enum { PARAMFLAG_FIN = 0x1 };

typedef struct TYPEDESC {
  union {
    struct TYPEDESC* lptdesc;
    void* lpadesc;
    DWORD hreftype;
  } u;
  VARTYPE vt;
} TYPEDESC;
typedef struct IDLDESC {
  uintptr_t dwReserved;
  uint16_t wIDLFlags;
} IDLDESC;
typedef struct PARAMDESC {
  void* pparamdescex;
  uint16_t wParamFlags;
} PARAMDESC;
typedef struct ELEMDESC {
  TYPEDESC tdesc;
  union {
    IDLDESC idldesc;
    PARAMDESC paramdesc;
  } u;
} ELEMDESC;

typedef struct TYPEATTR {
  GUID guid;
  LCID lcid;
  DWORD dwReserved;
  MEMBERID memidConstructor;
  MEMBERID memidDestructor;
  LPOLESTR lpstrSchema;
  ULONG cbSizeInstance;
  TYPEKIND typekind;
  WORD cFuncs;
  WORD cVars;
  WORD cImplTypes;
  WORD cbSizeVft;
  WORD cbAlignment;
  WORD wTypeFlags;
  WORD wMajorVerNum;
  WORD wMinorVerNum;
  TYPEDESC tdescAlias;
  IDLDESC idldescType;
} TYPEATTR;

typedef struct FUNCDESC {
  MEMBERID memid;
  SCODE* lprgscode;
  ELEMDESC* lprgelemdescParam;
  FUNCKIND funckind;
  INVOKEKIND invkind;
  CALLCONV callconv;
  int16_t cParams;
  int16_t cParamsOpt;
  int16_t oVft; /* byte offset of the entry in the function table: 8 x (7 + position) */
  int16_t cScodes;
  ELEMDESC elemdescFunc;
  WORD wFuncFlags;
} FUNCDESC;

/* Declares interface NAME: a struct holding a pointer to its function table NAMEVtbl. */
#define PELLIX_INTERFACE(name)          \
  typedef struct name name;             \
  typedef struct name##Vtbl name##Vtbl; \
  struct name {                         \
    const name##Vtbl* lpVtbl;           \
  }

PELLIX_INTERFACE(IUnknown);
PELLIX_INTERFACE(IDispatch);
PELLIX_INTERFACE(IClassFactory);
PELLIX_INTERFACE(ITypeInfo);
PELLIX_INTERFACE(IErrorInfo);
PELLIX_INTERFACE(ISupportErrorInfo);
PELLIX_INTERFACE(IPropertyBag);
PELLIX_INTERFACE(IErrorLog);
PELLIX_INTERFACE(IPersistPropertyBag);
PELLIX_INTERFACE(IConnectionPointContainer);
PELLIX_INTERFACE(IConnectionPoint);
PELLIX_INTERFACE(IPropertyNotifySink);
PELLIX_INTERFACE(IObjectWithSite);

/* The three entries every table starts with. QueryInterface gives E_NOINTERFACE and a null
 * pointer for an interface the object lacks, E_POINTER for a null out-pointer. */
#define PELLIX_IUNKNOWN_ENTRIES(This)                                        \
  HRESULT (*QueryInterface)(This * self, const IID* riid, void** ppvObject); \
  ULONG (*AddRef)(This * self);                                              \
  ULONG (*Release)(This * self)

#define PELLIX_IDISPATCH_ENTRIES(This)                                                           \
  PELLIX_IUNKNOWN_ENTRIES(This);                                                                 \
  HRESULT (*GetTypeInfoCount)(This * self, UINT * pctinfo);                                      \
  HRESULT (*GetTypeInfo)(This * self, UINT iTInfo, LCID lcid, ITypeInfo * *ppTInfo);             \
  HRESULT(*GetIDsOfNames)                                                                        \
  (This * self, const IID* riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId); \
  HRESULT(*Invoke)                                                                               \
  (This * self, DISPID dispIdMember, const IID* riid, LCID lcid, WORD wFlags,                    \
   DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr)

struct IUnknownVtbl {
  PELLIX_IUNKNOWN_ENTRIES(IUnknown);
};

/* GetIDsOfNames matches names without regard to case (DISP_E_UNKNOWNNAME and DISPID_UNKNOWN
 * for a name it does not know). Invoke: DISP_E_MEMBERNOTFOUND for an unknown identifier or a
 * kind the member lacks, DISP_E_BADPARAMCOUNT for the wrong number of arguments, a put needs
 * the one named argument DISPID_PROPERTYPUT; an argument of another type than the member's is
 * converted as the platform converts (a text "12" into a 16-bit integer is 12, "abc" fails
 * with error 13). The result, when pVarResult is not null, is the host's to clear. */
struct IDispatchVtbl {
  PELLIX_IDISPATCH_ENTRIES(IDispatch);
};

/* CreateInstance: CLASS_E_NOAGGREGATION for an outer object. LockServer keeps the library
 * loaded (DllCanUnloadNow answers S_FALSE) until it is unlocked. */
struct IClassFactoryVtbl {
  PELLIX_IUNKNOWN_ENTRIES(IClassFactory);
  HRESULT(*CreateInstance)
  (IClassFactory* self, IUnknown* pUnkOuter, const IID* riid, void** ppvObject);
  HRESULT (*LockServer)(IClassFactory* self, BOOL fLock);
};

/* Type information of _ALG_V1S. GetTypeAttr, GetFuncDesc (index = position), GetNames,
 * GetDocumentation, GetIDsOfNames and the three releases work; the others give E_NOTIMPL.
 * Records and strings handed out are the host's: records go back through the matching
 * release, strings through PellixSysFreeString. */
struct ITypeInfoVtbl {
  PELLIX_IUNKNOWN_ENTRIES(ITypeInfo);
  HRESULT (*GetTypeAttr)(ITypeInfo* self, TYPEATTR** ppTypeAttr);
  HRESULT (*GetTypeComp)(ITypeInfo* self, void** ppTComp);
  HRESULT (*GetFuncDesc)(ITypeInfo* self, UINT index, FUNCDESC** ppFuncDesc);
  HRESULT (*GetVarDesc)(ITypeInfo* self, UINT index, void** ppVarDesc);
  HRESULT(*GetNames)
  (ITypeInfo* self, MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames);
  HRESULT (*GetRefTypeOfImplType)(ITypeInfo* self, UINT index, DWORD* pRefType);
  HRESULT (*GetImplTypeFlags)(ITypeInfo* self, UINT index, int32_t* pImplTypeFlags);
  HRESULT (*GetIDsOfNames)(ITypeInfo* self, LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId);
  HRESULT(*Invoke)
  (ITypeInfo* self, void* pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams,
   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);
  /* memid MEMBERID_NIL describes the interface itself. Any out-pointer may be null. */
  HRESULT(*GetDocumentation)
  (ITypeInfo* self, MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
   BSTR* pBstrHelpFile);
  HRESULT(*GetDllEntry)
  (ITypeInfo* self, MEMBERID memid, INVOKEKIND invKind, BSTR* pBstrDllName, BSTR* pBstrName,
   WORD* pwOrdinal);
  HRESULT (*GetRefTypeInfo)(ITypeInfo* self, DWORD hRefType, ITypeInfo** ppTInfo);
  HRESULT (*AddressOfMember)(ITypeInfo* self, MEMBERID memid, INVOKEKIND invKind, void** ppv);
  HRESULT (*CreateInstance)(ITypeInfo* self, IUnknown* pUnkOuter, const IID* riid, void** ppvObj);
  HRESULT (*GetMops)(ITypeInfo* self, MEMBERID memid, BSTR* pBstrMops);
  HRESULT (*GetContainingTypeLib)(ITypeInfo* self, void** ppTLib, UINT* pIndex);
  void (*ReleaseTypeAttr)(ITypeInfo* self, TYPEATTR* pTypeAttr);
  void (*ReleaseFuncDesc)(ITypeInfo* self, FUNCDESC* pFuncDesc);
  void (*ReleaseVarDesc)(ITypeInfo* self, void* pVarDesc);
};

/* The description of the last failure on this thread (see PellixGetErrorInfo). */
struct IErrorInfoVtbl {
  PELLIX_IUNKNOWN_ENTRIES(IErrorInfo);
  HRESULT (*GetGUID)(IErrorInfo* self, GUID* pGUID);
  HRESULT (*GetSource)(IErrorInfo* self, BSTR* pBstrSource);
  HRESULT (*GetDescription)(IErrorInfo* self, BSTR* pBstrDescription);
  HRESULT (*GetHelpFile)(IErrorInfo* self, BSTR* pBstrHelpFile);
  HRESULT (*GetHelpContext)(IErrorInfo* self, DWORD* pdwHelpContext);
};

struct ISupportErrorInfoVtbl {
  PELLIX_IUNKNOWN_ENTRIES(ISupportErrorInfo);
  HRESULT (*InterfaceSupportsErrorInfo)(ISupportErrorInfo* self, const IID* riid);
};

/* The host's property bag. Read fills *pVar (the component clears it afterwards) and returns
 * E_INVALIDARG for a name the bag does not hold, which makes the control use its default; any
 * other failure ends the load at that key with the bag's status. Write stores a copy of *pVar;
 * a failure ends the save at that key with the bag's status. */
struct IPropertyBagVtbl {
  PELLIX_IUNKNOWN_ENTRIES(IPropertyBag);
  HRESULT (*Read)(IPropertyBag* self, LPCOLESTR pszPropName, VARIANT* pVar, IErrorLog* pErrorLog);
  HRESULT (*Write)(IPropertyBag* self, LPCOLESTR pszPropName, VARIANT* pVar);
};

struct IErrorLogVtbl {
  PELLIX_IUNKNOWN_ENTRIES(IErrorLog);
  HRESULT (*AddError)(IErrorLog* self, LPCOLESTR pszPropName, EXCEPINFO* pExcepInfo);
};

/* The container's persistence notifications: InitNew for a new instance, Load to read the
 * instance from a bag, Save to write it. None of them traps errors: the first key that cannot
 * be read, converted or written ends the call with its status, what came before stays. */
struct IPersistPropertyBagVtbl {
  PELLIX_IUNKNOWN_ENTRIES(IPersistPropertyBag);
  HRESULT (*GetClassID)(IPersistPropertyBag* self, CLSID* pClassID);
  HRESULT (*InitNew)(IPersistPropertyBag* self);
  HRESULT (*Load)(IPersistPropertyBag* self, IPropertyBag* pPropBag, IErrorLog* pErrorLog);
  HRESULT(*Save)
  (IPersistPropertyBag* self, IPropertyBag* pPropBag, BOOL fClearDirty, BOOL fSaveAllProperties);
};

/* FindConnectionPoint knows the event interface __ALG_V1S (CONNECT_E_NOCONNECTION otherwise);
 * the control never fires its events. */
struct IConnectionPointContainerVtbl {
  PELLIX_IUNKNOWN_ENTRIES(IConnectionPointContainer);
  HRESULT (*EnumConnectionPoints)(IConnectionPointContainer* self, void** ppEnum);
  HRESULT(*FindConnectionPoint)
  (IConnectionPointContainer* self, const IID* riid, IConnectionPoint** ppCP);
};

/* Advise keeps a reference to the sink until Unadvise (CONNECT_E_NOCONNECTION for an unknown
 * cookie) or until the point goes away. */
struct IConnectionPointVtbl {
  PELLIX_IUNKNOWN_ENTRIES(IConnectionPoint);
  HRESULT (*GetConnectionInterface)(IConnectionPoint* self, IID* pIID);
  HRESULT (*GetConnectionPointContainer)(IConnectionPoint* self, IConnectionPointContainer** ppCPC);
  HRESULT (*Advise)(IConnectionPoint* self, IUnknown* pUnkSink, DWORD* pdwCookie);
  HRESULT (*Unadvise)(IConnectionPoint* self, DWORD dwCookie);
  HRESULT (*EnumConnections)(IConnectionPoint* self, void** ppEnum);
};

/* What a site implements to hear PropertyChanged: OnChanged receives the dispatch identifier
 * of the property; PellixPropertyChangeName gives the name the control notifies under. */
struct IPropertyNotifySinkVtbl {
  PELLIX_IUNKNOWN_ENTRIES(IPropertyNotifySink);
  HRESULT (*OnChanged)(IPropertyNotifySink* self, DISPID dispID);
  HRESULT (*OnRequestEdit)(IPropertyNotifySink* self, DISPID dispID);
};

/* The host hands the control its client site with SetSite (null takes it away). The control
 * asks the site (QueryInterface) for IDispatch to read the ambient UserMode
 * (DISPID_AMBIENT_USERMODE, a VT_BOOL; run mode when the site has none) and for
 * IPropertyNotifySink to report PropertyChanged. The control holds one reference to the site
 * until it is replaced or the control goes away. */
struct IObjectWithSiteVtbl {
  PELLIX_IUNKNOWN_ENTRIES(IObjectWithSite);
  HRESULT (*SetSite)(IObjectWithSite* self, IUnknown* pUnkSite);
  HRESULT (*GetSite)(IObjectWithSite* self, const IID* riid, void** ppvSite);
};

/* Interface identifiers of the platform. */
static const IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const IID IID_IClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const IID IID_IDispatch = {
    0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const IID IID_ITypeInfo = {
    0x00020401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const IID IID_IErrorInfo = {
    0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
static const IID IID_ISupportErrorInfo = {
    0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
static const IID IID_IPropertyBag = {
    0x55272A00, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
static const IID IID_IPersistPropertyBag = {
    0x37D84F60, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
static const IID IID_IConnectionPointContainer = {
    0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
static const IID IID_IConnectionPoint = {
    0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
static const IID IID_IPropertyNotifySink = {
    0x9BFBBC02, 0xEFF1, 0x101A, {0x84, 0xED, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
static const IID IID_IOleClientSite = {
    0x00000118, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const IID IID_IObjectWithSite = {
    0xFC4801A3, 0x2BA9, 0x11CF, {0xA2, 0x29, 0x00, 0xAA, 0x00, 0x3D, 0x73, 0x52}};

#ifdef __cplusplus
}
#endif

/* The control's own identifiers and the function table of _ALG_V1S, generated from the
 * control's interface table. */
#include "PellixInterface.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The four exports of an in-process server. */

/* A class factory for CLSID_ALG_V1S (CLASS_E_CLASSNOTAVAILABLE for any other class). */
PELLIX_API HRESULT DllGetClassObject(const CLSID* rclsid, const IID* riid, void** ppv);
/* S_OK when no object and no server lock remains, else S_FALSE. */
PELLIX_API HRESULT DllCanUnloadNow(void);
/* Records ALG_V1S (its identifier, "Pellix.ALG_V1S" and this library's path) in the per-user
 * registry $XDG_DATA_HOME/Pellix/registry.json (else ~/.local/share/...), replacing the file
 * atomically. A damaged registry file fails with error 321, its path in the description. */
PELLIX_API HRESULT DllRegisterServer(void);
/* Removes ALG_V1S from the per-user registry; other classes' entries stay. */
PELLIX_API HRESULT DllUnregisterServer(void);

/* Finds `name` (a class identifier in registry form "{...}" or a program name such as
 * "Pellix.ALG_V1S", UTF-8) in the per-user registry, loads its library and creates an instance
 * through the library's class factory. CLASS_E_CLASSNOTAVAILABLE when the registry does not
 * hold it; error 53 when the library cannot be loaded; error 321 for a damaged registry. */
PELLIX_API HRESULT PellixCreateInstance(const char* name, const IID* riid, void** ppv);

/* Strings. PellixSysAllocString* return a new string the caller frees, or null when memory
 * runs out (or for a null input); PellixSysFreeString accepts null. */
PELLIX_API BSTR PellixSysAllocString(const OLECHAR* text);
PELLIX_API BSTR PellixSysAllocStringLen(const OLECHAR* text, UINT length);
/* From UTF-8; invalid sequences become U+FFFD. */
PELLIX_API BSTR PellixSysAllocStringUtf8(const char* text);
PELLIX_API void PellixSysFreeString(BSTR text);
/* Length in UTF-16 code units (0 for null). */
PELLIX_API UINT PellixSysStringLen(BSTR text);
/* The text as UTF-8 into `out` (at most `size` bytes with the terminating zero; lone surrogates
 * become U+FFFD). Returns the number of bytes the whole text needs, terminator excluded. */
PELLIX_API size_t PellixStringToUtf8(BSTR text, char* out, size_t size);

/* Values. Init makes an Empty value; Clear frees what the value owns and leaves it Empty;
 * Copy clears `dest`, then makes it a deep copy of `src`. */
PELLIX_API void PellixVariantInit(VARIANT* value);
PELLIX_API HRESULT PellixVariantClear(VARIANT* value);
PELLIX_API HRESULT PellixVariantCopy(VARIANT* dest, const VARIANT* src);

/* Error information of this thread: Set replaces it (null clears; the component takes a
 * reference), Get hands it over and clears it (S_FALSE and null when there is none). A failure
 * of the control's interfaces that has no description of its own (E_POINTER, a dispatch
 * status, RPC_E_WRONG_THREAD) clears it, so it never describes an older failure; a success
 * leaves it. It is released when the thread ends. */
PELLIX_API HRESULT PellixSetErrorInfo(DWORD reserved, IErrorInfo* info);
PELLIX_API HRESULT PellixGetErrorInfo(DWORD reserved, IErrorInfo** info);
/* The description of the last failure on this thread as a new string (null when none);
 * leaves the error information in place. */
PELLIX_API BSTR PellixLastErrorDescription(void);
/* The platform error number inside a failure status (0 when it is not one). */
PELLIX_API int PellixErrorNumber(HRESULT status);

/* The name a property put notifies under, UTF-8, static (null for an identifier without one):
 * the property's name, except CR_msgX, which notifies as "CR_MSGX". */
PELLIX_API const char* PellixPropertyChangeName(DISPID dispid);

/* The type library: its name, identifier, locale, version and help string, and the identifiers
 * and program name of the class it describes (static; texts UTF-8). */
typedef struct PellixTypeLibraryInfo {
  const char* name;
  GUID libid;
  LCID lcid;
  WORD major_version;
  WORD minor_version;
  const char* help_string;
  CLSID class_id;
  IID interface_id;
  IID event_interface_id;
  const char* program_name;
} PellixTypeLibraryInfo;
PELLIX_API const PellixTypeLibraryInfo* PellixTypeLibrary(void);

#ifdef __cplusplus
}
#endif

#endif /* PELLIX_H */
