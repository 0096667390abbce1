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
 *   the same status and description into its exception record.
 *
 * Names: every type here is declared as Pellix<name> (PellixHRESULT, PellixBSTR, PellixVARIANT,
 * PellixIDispatch, ...), every constant as PELLIX_<name> (PELLIX_S_OK, PELLIX_VT_BSTR,
 * PELLIX_DISP_E_EXCEPTION, PELLIX_IID_IDispatch, ...) and the four server exports as
 * PellixDll<name> (PellixDllGetClassObject, ...). Unless the host defines
 * PELLIX_NO_LEGACY_NAMES before including this header, the platform's own spellings (HRESULT,
 * BOOL, S_OK, VT_BSTR, IUnknown, IID_IDispatch, DllGetClassObject, ...) name the same types,
 * values and functions as well, as they always have. A host that has its own platform headers,
 * which define those names, defines PELLIX_NO_LEGACY_NAMES and uses the prefixed ones only.
 * PellixPtr.hpp wraps interface pointers, strings and values for C++ hosts. */
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

/* A constant under its prefixed name and, unless PELLIX_NO_LEGACY_NAMES, its platform name. */
#ifdef PELLIX_NO_LEGACY_NAMES
#define PELLIX_ENUMERATOR(name, value) PELLIX_##name = (value)
#define PELLIX_CONSTANT(type, name, ...) static const type PELLIX_##name = __VA_ARGS__
#else
#define PELLIX_ENUMERATOR(name, value) PELLIX_##name = (value), name = (value)
#define PELLIX_CONSTANT(type, name, ...) \
  static const type PELLIX_##name = __VA_ARGS__, name = __VA_ARGS__
#endif

/* Basic types. */
typedef int32_t PellixHRESULT;
typedef uint32_t PellixULONG;
typedef int32_t PellixLONG;
typedef int32_t PellixBOOL;
typedef uint16_t PellixWORD;
typedef uint32_t PellixDWORD;
typedef uint32_t PellixUINT;
typedef uint32_t PellixLCID;
typedef int32_t PellixDISPID;
typedef int32_t PellixMEMBERID;
typedef int32_t PellixSCODE;
typedef uint16_t PellixVARTYPE;
typedef int16_t PellixVARIANT_BOOL;
typedef uint16_t PellixOLECHAR;
typedef PellixOLECHAR* PellixBSTR;
typedef PellixOLECHAR* PellixLPOLESTR;
typedef const PellixOLECHAR* PellixLPCOLESTR;

typedef struct PellixGUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
} PellixGUID;
typedef PellixGUID PellixIID;
typedef PellixGUID PellixCLSID;

/* Status codes. */
enum { PELLIX_ENUMERATOR(S_OK, 0), PELLIX_ENUMERATOR(S_FALSE, 1) };
#define PELLIX_STATUS(x) ((PellixHRESULT)(x))
PELLIX_CONSTANT(PellixHRESULT, E_NOTIMPL, PELLIX_STATUS(0x80004001u));
PELLIX_CONSTANT(PellixHRESULT, E_NOINTERFACE, PELLIX_STATUS(0x80004002u));
PELLIX_CONSTANT(PellixHRESULT, E_POINTER, PELLIX_STATUS(0x80004003u));
PELLIX_CONSTANT(PellixHRESULT, E_FAIL, PELLIX_STATUS(0x80004005u));
PELLIX_CONSTANT(PellixHRESULT, E_OUTOFMEMORY, PELLIX_STATUS(0x8007000Eu));
PELLIX_CONSTANT(PellixHRESULT, E_INVALIDARG, PELLIX_STATUS(0x80070057u));
PELLIX_CONSTANT(PellixHRESULT, CLASS_E_NOAGGREGATION, PELLIX_STATUS(0x80040110u));
PELLIX_CONSTANT(PellixHRESULT, CLASS_E_CLASSNOTAVAILABLE, PELLIX_STATUS(0x80040111u));
PELLIX_CONSTANT(PellixHRESULT, DISP_E_UNKNOWNNAME, PELLIX_STATUS(0x80020006u));
PELLIX_CONSTANT(PellixHRESULT, DISP_E_MEMBERNOTFOUND, PELLIX_STATUS(0x80020003u));
PELLIX_CONSTANT(PellixHRESULT, DISP_E_TYPEMISMATCH, PELLIX_STATUS(0x80020005u));
PELLIX_CONSTANT(PellixHRESULT, DISP_E_BADPARAMCOUNT, PELLIX_STATUS(0x8002000Eu));
PELLIX_CONSTANT(PellixHRESULT, DISP_E_PARAMNOTOPTIONAL, PELLIX_STATUS(0x8002000Fu));
PELLIX_CONSTANT(PellixHRESULT, DISP_E_EXCEPTION, PELLIX_STATUS(0x80020009u));
PELLIX_CONSTANT(PellixHRESULT, DISP_E_BADINDEX, PELLIX_STATUS(0x8002000Bu));
PELLIX_CONSTANT(PellixHRESULT, RPC_E_WRONG_THREAD, PELLIX_STATUS(0x8001010Eu));
PELLIX_CONSTANT(PellixHRESULT, CONNECT_E_NOCONNECTION, PELLIX_STATUS(0x80040200u));
/* The status of a member that failed with platform error `number` (facility control). */
static inline PellixHRESULT PellixErrorStatus(int number) {
  return (PellixHRESULT)(0x800A0000u + (uint32_t)number);
}

/* Value records. */
enum {
  PELLIX_ENUMERATOR(VT_EMPTY, 0),
  PELLIX_ENUMERATOR(VT_NULL, 1),
  PELLIX_ENUMERATOR(VT_I2, 2),
  PELLIX_ENUMERATOR(VT_I4, 3),
  PELLIX_ENUMERATOR(VT_R4, 4),
  PELLIX_ENUMERATOR(VT_R8, 5),
  PELLIX_ENUMERATOR(VT_BSTR, 8),
  PELLIX_ENUMERATOR(VT_DISPATCH, 9),
  PELLIX_ENUMERATOR(VT_ERROR, 10),
  PELLIX_ENUMERATOR(VT_BOOL, 11),
  PELLIX_ENUMERATOR(VT_VARIANT, 12),
  PELLIX_ENUMERATOR(VT_UNKNOWN, 13),
  PELLIX_ENUMERATOR(VT_UI1, 17),
  PELLIX_ENUMERATOR(VT_VOID, 24),
  PELLIX_ENUMERATOR(VT_BYREF, 0x4000)
};
enum { PELLIX_ENUMERATOR(VARIANT_TRUE, -1), PELLIX_ENUMERATOR(VARIANT_FALSE, 0) };

struct PellixIUnknown;
struct PellixIDispatch;

/* 24 bytes: a type tag, three reserved words, a 16-byte union. */
typedef struct PellixVARIANT {
  PellixVARTYPE vt;
  PellixWORD wReserved1;
  PellixWORD wReserved2;
  PellixWORD wReserved3;
  union {
    int16_t iVal;
    int32_t lVal;
    float fltVal;
    double dblVal;
    PellixBSTR bstrVal;
    PellixVARIANT_BOOL boolVal;
    PellixSCODE scode;
    uint8_t bVal;
    struct PellixIUnknown* punkVal;
    struct PellixIDispatch* pdispVal;
    int16_t* piVal;
    int32_t* plVal;
    float* pfltVal;
    double* pdblVal;
    PellixBSTR* pbstrVal;
    PellixVARIANT_BOOL* pboolVal;
    uint8_t* pbVal;
    struct PellixVARIANT* pvarVal;
    void* byref;
    uint64_t reserved[2];
  } u;
} PellixVARIANT;
typedef PellixVARIANT PellixVARIANTARG;

/* Invoke. */
enum {
  PELLIX_ENUMERATOR(DISPATCH_METHOD, 1),
  PELLIX_ENUMERATOR(DISPATCH_PROPERTYGET, 2),
  PELLIX_ENUMERATOR(DISPATCH_PROPERTYPUT, 4)
};
enum {
  PELLIX_ENUMERATOR(DISPID_UNKNOWN, -1),
  PELLIX_ENUMERATOR(DISPID_PROPERTYPUT, -3),
  PELLIX_ENUMERATOR(DISPID_AMBIENT_USERMODE, -709)
};
enum { PELLIX_ENUMERATOR(MEMBERID_NIL, -1) };

typedef struct PellixDISPPARAMS {
  PellixVARIANTARG* rgvarg; /* arguments, last first */
  PellixDISPID* rgdispidNamedArgs;
  PellixUINT cArgs;
  PellixUINT cNamedArgs;
} PellixDISPPARAMS;

typedef struct PellixEXCEPINFO {
  PellixWORD wCode;
  PellixWORD wReserved;
  PellixBSTR bstrSource;
  PellixBSTR bstrDescription;
  PellixBSTR bstrHelpFile;
  PellixDWORD dwHelpContext;
  void* pvReserved;
  PellixHRESULT (*pfnDeferredFillIn)(struct PellixEXCEPINFO*);
  PellixSCODE scode;
} PellixEXCEPINFO;

/* Type information records, in the platform's field order. */
typedef enum PellixTYPEKIND {
  PELLIX_ENUMERATOR(TKIND_ENUM, 0),
  PELLIX_ENUMERATOR(TKIND_RECORD, 1),
  PELLIX_ENUMERATOR(TKIND_MODULE, 2),
  PELLIX_ENUMERATOR(TKIND_INTERFACE, 3),
  PELLIX_ENUMERATOR(TKIND_DISPATCH, 4),
  PELLIX_ENUMERATOR(TKIND_COCLASS, 5),
  PELLIX_ENUMERATOR(TKIND_ALIAS, 6),
  PELLIX_ENUMERATOR(TKIND_UNION, 7)
} PellixTYPEKIND;
typedef enum PellixFUNCKIND {
  PELLIX_ENUMERATOR(FUNC_VIRTUAL, 0),
  PELLIX_ENUMERATOR(FUNC_PUREVIRTUAL, 1),
  PELLIX_ENUMERATOR(FUNC_NONVIRTUAL, 2),
  PELLIX_ENUMERATOR(FUNC_STATIC, 3),
  PELLIX_ENUMERATOR(FUNC_DISPATCH, 4)
} PellixFUNCKIND;
typedef enum PellixINVOKEKIND {
  PELLIX_ENUMERATOR(INVOKE_FUNC, 1),
  PELLIX_ENUMERATOR(INVOKE_PROPERTYGET, 2),
  PELLIX_ENUMERATOR(INVOKE_PROPERTYPUT, 4),
  PELLIX_ENUMERATOR(INVOKE_PROPERTYPUTREF, 8)
} PellixINVOKEKIND;
typedef enum PellixCALLCONV {
  PELLIX_ENUMERATOR(CC_FASTCALL, 0),
  PELLIX_ENUMERATOR(CC_CDECL, 1),
  PELLIX_ENUMERATOR(CC_MSCPASCAL, 2),
  PELLIX_ENUMERATOR(CC_PASCAL, PELLIX_CC_MSCPASCAL)
} PellixCALLCONV;
enum { PELLIX_ENUMERATOR(FUNCFLAG_FHIDDEN, 0x40) };
enum {
  PELLIX_ENUMERATOR(TYPEFLAG_FHIDDEN, 0x10),
  PELLIX_ENUMERATOR(TYPEFLAG_FDUAL, 0x40),
  PELLIX_ENUMERATOR(TYPEFLAG_FDISPATCHABLE, 0x1000)
};
enum { PELLIX_ENUMERATOR(PARAMFLAG_FIN, 0x1) };

typedef struct PellixTYPEDESC {
  union {
    struct PellixTYPEDESC* lptdesc;
    void* lpadesc;
    PellixDWORD hreftype;
  } u;
  PellixVARTYPE vt;
} PellixTYPEDESC;
typedef struct PellixIDLDESC {
  uintptr_t dwReserved;
  uint16_t wIDLFlags;
} PellixIDLDESC;
typedef struct PellixPARAMDESC {
  void* pparamdescex;
  uint16_t wParamFlags;
} PellixPARAMDESC;
typedef struct PellixELEMDESC {
  PellixTYPEDESC tdesc;
  union {
    PellixIDLDESC idldesc;
    PellixPARAMDESC paramdesc;
  } u;
} PellixELEMDESC;

typedef struct PellixTYPEATTR {
  PellixGUID guid;
  PellixLCID lcid;
  PellixDWORD dwReserved;
  PellixMEMBERID memidConstructor;
  PellixMEMBERID memidDestructor;
  PellixLPOLESTR lpstrSchema;
  PellixULONG cbSizeInstance;
  PellixTYPEKIND typekind;
  PellixWORD cFuncs;
  PellixWORD cVars;
  PellixWORD cImplTypes;
  PellixWORD cbSizeVft;
  PellixWORD cbAlignment;
  PellixWORD wTypeFlags;
  PellixWORD wMajorVerNum;
  PellixWORD wMinorVerNum;
  PellixTYPEDESC tdescAlias;
  PellixIDLDESC idldescType;
} PellixTYPEATTR;

typedef struct PellixFUNCDESC {
  PellixMEMBERID memid;
  PellixSCODE* lprgscode;
  PellixELEMDESC* lprgelemdescParam;
  PellixFUNCKIND funckind;
  PellixINVOKEKIND invkind;
  PellixCALLCONV callconv;
  int16_t cParams;
  int16_t cParamsOpt;
  int16_t oVft; /* byte offset of the entry in the function table: 8 x (7 + position) */
  int16_t cScodes;
  PellixELEMDESC elemdescFunc;
  PellixWORD wFuncFlags;
} PellixFUNCDESC;

/* Declares interface NAME: a struct holding a pointer to its function table NAMEVtbl. */
#define PELLIX_INTERFACE(name)          \
  typedef struct name name;             \
  typedef struct name##Vtbl name##Vtbl; \
  struct name {                         \
    const name##Vtbl* lpVtbl;           \
  }

PELLIX_INTERFACE(PellixIUnknown);
PELLIX_INTERFACE(PellixIDispatch);
PELLIX_INTERFACE(PellixIClassFactory);
PELLIX_INTERFACE(PellixITypeInfo);
PELLIX_INTERFACE(PellixIErrorInfo);
PELLIX_INTERFACE(PellixISupportErrorInfo);
PELLIX_INTERFACE(PellixIPropertyBag);
PELLIX_INTERFACE(PellixIErrorLog);
PELLIX_INTERFACE(PellixIPersistPropertyBag);
PELLIX_INTERFACE(PellixIConnectionPointContainer);
PELLIX_INTERFACE(PellixIConnectionPoint);
PELLIX_INTERFACE(PellixIPropertyNotifySink);
PELLIX_INTERFACE(PellixIObjectWithSite);

/* The three entries every table starts with. QueryInterface gives E_NOINTERFACE and a null
 * pointer for an interface the object lacks, E_POINTER for a null out-pointer. */
#define PELLIX_IUNKNOWN_ENTRIES(This)                                                    \
  PellixHRESULT (*QueryInterface)(This * self, const PellixIID* riid, void** ppvObject); \
  PellixULONG (*AddRef)(This * self);                                                    \
  PellixULONG (*Release)(This * self)

#define PELLIX_IDISPATCH_ENTRIES(This)                                                          \
  PELLIX_IUNKNOWN_ENTRIES(This);                                                                \
  PellixHRESULT (*GetTypeInfoCount)(This * self, PellixUINT * pctinfo);                         \
  PellixHRESULT (*GetTypeInfo)(This * self, PellixUINT iTInfo, PellixLCID lcid,                 \
                               PellixITypeInfo * *ppTInfo);                                     \
  PellixHRESULT (*GetIDsOfNames)(This * self, const PellixIID* riid, PellixLPOLESTR* rgszNames, \
                                 PellixUINT cNames, PellixLCID lcid, PellixDISPID* rgDispId);   \
  PellixHRESULT (*Invoke)(This * self, PellixDISPID dispIdMember, const PellixIID* riid,        \
                          PellixLCID lcid, PellixWORD wFlags, PellixDISPPARAMS* pDispParams,    \
                          PellixVARIANT* pVarResult, PellixEXCEPINFO* pExcepInfo,               \
                          PellixUINT* puArgErr)

struct PellixIUnknownVtbl {
  PELLIX_IUNKNOWN_ENTRIES(PellixIUnknown);
};

/* GetIDsOfNames matches names without regard to case (DISP_E_UNKNOWNNAME and DISPID_UNKNOWN
 * for a name it does not know). Invoke: DISP_E_MEMBERNOTFOUND for an unknown identifier or a
 * kind the member lacks, DISP_E_BADPARAMCOUNT for the wrong number of arguments, a put needs
 * the one named argument DISPID_PROPERTYPUT; an argument of another type than the member's is
 * converted as the platform converts (a text "12" into a 16-bit integer is 12, "abc" fails
 * with error 13). The result, when pVarResult is not null, is the host's to clear. */
struct PellixIDispatchVtbl {
  PELLIX_IDISPATCH_ENTRIES(PellixIDispatch);
};

/* CreateInstance: CLASS_E_NOAGGREGATION for an outer object. LockServer keeps the library
 * loaded (DllCanUnloadNow answers S_FALSE) until it is unlocked. */
struct PellixIClassFactoryVtbl {
  PELLIX_IUNKNOWN_ENTRIES(PellixIClassFactory);
  PellixHRESULT (*CreateInstance)(PellixIClassFactory* self, PellixIUnknown* pUnkOuter,
                                  const PellixIID* riid, void** ppvObject);
  PellixHRESULT (*LockServer)(PellixIClassFactory* self, PellixBOOL fLock);
};

/* Type information of _ALG_V1S. GetTypeAttr, GetFuncDesc (index = position), GetNames,
 * GetDocumentation, GetIDsOfNames and the three releases work; the others give E_NOTIMPL.
 * Records and strings handed out are the host's: records go back through the matching
 * release, strings through PellixSysFreeString. */
struct PellixITypeInfoVtbl {
  PELLIX_IUNKNOWN_ENTRIES(PellixITypeInfo);
  PellixHRESULT (*GetTypeAttr)(PellixITypeInfo* self, PellixTYPEATTR** ppTypeAttr);
  PellixHRESULT (*GetTypeComp)(PellixITypeInfo* self, void** ppTComp);
  PellixHRESULT (*GetFuncDesc)(PellixITypeInfo* self, PellixUINT index,
                               PellixFUNCDESC** ppFuncDesc);
  PellixHRESULT (*GetVarDesc)(PellixITypeInfo* self, PellixUINT index, void** ppVarDesc);
  PellixHRESULT (*GetNames)(PellixITypeInfo* self, PellixMEMBERID memid, PellixBSTR* rgBstrNames,
                            PellixUINT cMaxNames, PellixUINT* pcNames);
  PellixHRESULT (*GetRefTypeOfImplType)(PellixITypeInfo* self, PellixUINT index,
                                        PellixDWORD* pRefType);
  PellixHRESULT (*GetImplTypeFlags)(PellixITypeInfo* self, PellixUINT index,
                                    int32_t* pImplTypeFlags);
  PellixHRESULT (*GetIDsOfNames)(PellixITypeInfo* self, PellixLPOLESTR* rgszNames,
                                 PellixUINT cNames, PellixMEMBERID* pMemId);
  PellixHRESULT (*Invoke)(PellixITypeInfo* self, void* pvInstance, PellixMEMBERID memid,
                          PellixWORD wFlags, PellixDISPPARAMS* pDispParams,
                          PellixVARIANT* pVarResult, PellixEXCEPINFO* pExcepInfo,
                          PellixUINT* puArgErr);
  /* memid MEMBERID_NIL describes the interface itself. Any out-pointer may be null. */
  PellixHRESULT (*GetDocumentation)(PellixITypeInfo* self, PellixMEMBERID memid,
                                    PellixBSTR* pBstrName, PellixBSTR* pBstrDocString,
                                    PellixDWORD* pdwHelpContext, PellixBSTR* pBstrHelpFile);
  PellixHRESULT (*GetDllEntry)(PellixITypeInfo* self, PellixMEMBERID memid,
                               PellixINVOKEKIND invKind, PellixBSTR* pBstrDllName,
                               PellixBSTR* pBstrName, PellixWORD* pwOrdinal);
  PellixHRESULT (*GetRefTypeInfo)(PellixITypeInfo* self, PellixDWORD hRefType,
                                  PellixITypeInfo** ppTInfo);
  PellixHRESULT (*AddressOfMember)(PellixITypeInfo* self, PellixMEMBERID memid,
                                   PellixINVOKEKIND invKind, void** ppv);
  PellixHRESULT (*CreateInstance)(PellixITypeInfo* self, PellixIUnknown* pUnkOuter,
                                  const PellixIID* riid, void** ppvObj);
  PellixHRESULT (*GetMops)(PellixITypeInfo* self, PellixMEMBERID memid, PellixBSTR* pBstrMops);
  PellixHRESULT (*GetContainingTypeLib)(PellixITypeInfo* self, void** ppTLib, PellixUINT* pIndex);
  void (*ReleaseTypeAttr)(PellixITypeInfo* self, PellixTYPEATTR* pTypeAttr);
  void (*ReleaseFuncDesc)(PellixITypeInfo* self, PellixFUNCDESC* pFuncDesc);
  void (*ReleaseVarDesc)(PellixITypeInfo* self, void* pVarDesc);
};

/* The description of the last failure on this thread (see PellixGetErrorInfo). */
struct PellixIErrorInfoVtbl {
  PELLIX_IUNKNOWN_ENTRIES(PellixIErrorInfo);
  PellixHRESULT (*GetGUID)(PellixIErrorInfo* self, PellixGUID* pGUID);
  PellixHRESULT (*GetSource)(PellixIErrorInfo* self, PellixBSTR* pBstrSource);
  PellixHRESULT (*GetDescription)(PellixIErrorInfo* self, PellixBSTR* pBstrDescription);
  PellixHRESULT (*GetHelpFile)(PellixIErrorInfo* self, PellixBSTR* pBstrHelpFile);
  PellixHRESULT (*GetHelpContext)(PellixIErrorInfo* self, PellixDWORD* pdwHelpContext);
};

struct PellixISupportErrorInfoVtbl {
  PELLIX_IUNKNOWN_ENTRIES(PellixISupportErrorInfo);
  PellixHRESULT (*InterfaceSupportsErrorInfo)(PellixISupportErrorInfo* self, const PellixIID* riid);
};

/* The host's property bag. Read fills *pVar (the component clears it afterwards) and returns
 * E_INVALIDARG for a name the bag does not hold, which makes the control use its default; any
 * other failure ends the load at that key with the bag's status. Write stores a copy of *pVar;
 * a failure ends the save at that key with the bag's status. */
struct PellixIPropertyBagVtbl {
  PELLIX_IUNKNOWN_ENTRIES(PellixIPropertyBag);
  PellixHRESULT (*Read)(PellixIPropertyBag* self, PellixLPCOLESTR pszPropName, PellixVARIANT* pVar,
                        PellixIErrorLog* pErrorLog);
  PellixHRESULT (*Write)(PellixIPropertyBag* self, PellixLPCOLESTR pszPropName,
                         PellixVARIANT* pVar);
};

struct PellixIErrorLogVtbl {
  PELLIX_IUNKNOWN_ENTRIES(PellixIErrorLog);
  PellixHRESULT (*AddError)(PellixIErrorLog* self, PellixLPCOLESTR pszPropName,
                            PellixEXCEPINFO* pExcepInfo);
};

/* The container's persistence notifications: InitNew for a new instance, Load to read the
 * instance from a bag, Save to write it. None of them traps errors: the first key that cannot
 * be read, converted or written ends the call with its status, what came before stays. */
struct PellixIPersistPropertyBagVtbl {
  PELLIX_IUNKNOWN_ENTRIES(PellixIPersistPropertyBag);
  PellixHRESULT (*GetClassID)(PellixIPersistPropertyBag* self, PellixCLSID* pClassID);
  PellixHRESULT (*InitNew)(PellixIPersistPropertyBag* self);
  PellixHRESULT (*Load)(PellixIPersistPropertyBag* self, PellixIPropertyBag* pPropBag,
                        PellixIErrorLog* pErrorLog);
  PellixHRESULT (*Save)(PellixIPersistPropertyBag* self, PellixIPropertyBag* pPropBag,
                        PellixBOOL fClearDirty, PellixBOOL fSaveAllProperties);
};

/* FindConnectionPoint knows the event interface __ALG_V1S (CONNECT_E_NOCONNECTION otherwise);
 * the control never fires its events. */
struct PellixIConnectionPointContainerVtbl {
  PELLIX_IUNKNOWN_ENTRIES(PellixIConnectionPointContainer);
  PellixHRESULT (*EnumConnectionPoints)(PellixIConnectionPointContainer* self, void** ppEnum);
  PellixHRESULT (*FindConnectionPoint)(PellixIConnectionPointContainer* self, const PellixIID* riid,
                                       PellixIConnectionPoint** ppCP);
};

/* Advise keeps a reference to the sink until Unadvise (CONNECT_E_NOCONNECTION for an unknown
 * cookie) or until the point goes away. */
struct PellixIConnectionPointVtbl {
  PELLIX_IUNKNOWN_ENTRIES(PellixIConnectionPoint);
  PellixHRESULT (*GetConnectionInterface)(PellixIConnectionPoint* self, PellixIID* pIID);
  PellixHRESULT (*GetConnectionPointContainer)(PellixIConnectionPoint* self,
                                               PellixIConnectionPointContainer** ppCPC);
  PellixHRESULT (*Advise)(PellixIConnectionPoint* self, PellixIUnknown* pUnkSink,
                          PellixDWORD* pdwCookie);
  PellixHRESULT (*Unadvise)(PellixIConnectionPoint* self, PellixDWORD dwCookie);
  PellixHRESULT (*EnumConnections)(PellixIConnectionPoint* self, void** ppEnum);
};

/* What a site implements to hear PropertyChanged: OnChanged receives the dispatch identifier
 * of the property; PellixPropertyChangeName gives the name the control notifies under. */
struct PellixIPropertyNotifySinkVtbl {
  PELLIX_IUNKNOWN_ENTRIES(PellixIPropertyNotifySink);
  PellixHRESULT (*OnChanged)(PellixIPropertyNotifySink* self, PellixDISPID dispID);
  PellixHRESULT (*OnRequestEdit)(PellixIPropertyNotifySink* self, PellixDISPID dispID);
};

/* The host hands the control its client site with SetSite (null takes it away). The control
 * asks the site (QueryInterface) for IDispatch to read the ambient UserMode
 * (DISPID_AMBIENT_USERMODE, a VT_BOOL; run mode when the site has none) and for
 * IPropertyNotifySink to report PropertyChanged. The control holds one reference to the site
 * until it is replaced or the control goes away. */
struct PellixIObjectWithSiteVtbl {
  PELLIX_IUNKNOWN_ENTRIES(PellixIObjectWithSite);
  PellixHRESULT (*SetSite)(PellixIObjectWithSite* self, PellixIUnknown* pUnkSite);
  PellixHRESULT (*GetSite)(PellixIObjectWithSite* self, const PellixIID* riid, void** ppvSite);
};

/* Interface identifiers of the platform. */
PELLIX_CONSTANT(PellixIID, IID_IUnknown,
                {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}});
PELLIX_CONSTANT(PellixIID, IID_IClassFactory,
                {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}});
PELLIX_CONSTANT(PellixIID, IID_IDispatch,
                {0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}});
PELLIX_CONSTANT(PellixIID, IID_ITypeInfo,
                {0x00020401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}});
PELLIX_CONSTANT(PellixIID, IID_IErrorInfo,
                {0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}});
PELLIX_CONSTANT(PellixIID, IID_ISupportErrorInfo,
                {0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}});
PELLIX_CONSTANT(PellixIID, IID_IPropertyBag,
                {0x55272A00, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}});
PELLIX_CONSTANT(PellixIID, IID_IPersistPropertyBag,
                {0x37D84F60, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}});
PELLIX_CONSTANT(PellixIID, IID_IConnectionPointContainer,
                {0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}});
PELLIX_CONSTANT(PellixIID, IID_IConnectionPoint,
                {0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}});
PELLIX_CONSTANT(PellixIID, IID_IPropertyNotifySink,
                {0x9BFBBC02, 0xEFF1, 0x101A, {0x84, 0xED, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}});
PELLIX_CONSTANT(PellixIID, IID_IOleClientSite,
                {0x00000118, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}});
PELLIX_CONSTANT(PellixIID, IID_IObjectWithSite,
                {0xFC4801A3, 0x2BA9, 0x11CF, {0xA2, 0x29, 0x00, 0xAA, 0x00, 0x3D, 0x73, 0x52}});

#ifndef PELLIX_NO_LEGACY_NAMES
/* The platform's spellings of the types. */
typedef PellixHRESULT HRESULT;
typedef PellixULONG ULONG;
typedef PellixLONG LONG;
typedef PellixBOOL BOOL;
typedef PellixWORD WORD;
typedef PellixDWORD DWORD;
typedef PellixUINT UINT;
typedef PellixLCID LCID;
typedef PellixDISPID DISPID;
typedef PellixMEMBERID MEMBERID;
typedef PellixSCODE SCODE;
typedef PellixVARTYPE VARTYPE;
typedef PellixVARIANT_BOOL VARIANT_BOOL;
typedef PellixOLECHAR OLECHAR;
typedef PellixBSTR BSTR;
typedef PellixLPOLESTR LPOLESTR;
typedef PellixLPCOLESTR LPCOLESTR;
typedef PellixGUID GUID;
typedef PellixIID IID;
typedef PellixCLSID CLSID;
typedef PellixVARIANT VARIANT;
typedef PellixVARIANTARG VARIANTARG;
typedef PellixDISPPARAMS DISPPARAMS;
typedef PellixEXCEPINFO EXCEPINFO;
typedef PellixTYPEKIND TYPEKIND;
typedef PellixFUNCKIND FUNCKIND;
typedef PellixINVOKEKIND INVOKEKIND;
typedef PellixCALLCONV CALLCONV;
typedef PellixTYPEDESC TYPEDESC;
typedef PellixIDLDESC IDLDESC;
typedef PellixPARAMDESC PARAMDESC;
typedef PellixELEMDESC ELEMDESC;
typedef PellixTYPEATTR TYPEATTR;
typedef PellixFUNCDESC FUNCDESC;
typedef PellixIUnknown IUnknown;
typedef PellixIUnknownVtbl IUnknownVtbl;
typedef PellixIDispatch IDispatch;
typedef PellixIDispatchVtbl IDispatchVtbl;
typedef PellixIClassFactory IClassFactory;
typedef PellixIClassFactoryVtbl IClassFactoryVtbl;
typedef PellixITypeInfo ITypeInfo;
typedef PellixITypeInfoVtbl ITypeInfoVtbl;
typedef PellixIErrorInfo IErrorInfo;
typedef PellixIErrorInfoVtbl IErrorInfoVtbl;
typedef PellixISupportErrorInfo ISupportErrorInfo;
typedef PellixISupportErrorInfoVtbl ISupportErrorInfoVtbl;
typedef PellixIPropertyBag IPropertyBag;
typedef PellixIPropertyBagVtbl IPropertyBagVtbl;
typedef PellixIErrorLog IErrorLog;
typedef PellixIErrorLogVtbl IErrorLogVtbl;
typedef PellixIPersistPropertyBag IPersistPropertyBag;
typedef PellixIPersistPropertyBagVtbl IPersistPropertyBagVtbl;
typedef PellixIConnectionPointContainer IConnectionPointContainer;
typedef PellixIConnectionPointContainerVtbl IConnectionPointContainerVtbl;
typedef PellixIConnectionPoint IConnectionPoint;
typedef PellixIConnectionPointVtbl IConnectionPointVtbl;
typedef PellixIPropertyNotifySink IPropertyNotifySink;
typedef PellixIPropertyNotifySinkVtbl IPropertyNotifySinkVtbl;
typedef PellixIObjectWithSite IObjectWithSite;
typedef PellixIObjectWithSiteVtbl IObjectWithSiteVtbl;
#endif

#ifdef __cplusplus
}
#endif

/* The control's own identifiers and the function table of _ALG_V1S, generated from the
 * control's interface table. */
#include "PellixInterface.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The four exports of an in-process server, declared under their prefixed names (the same
 * symbols) and, unless PELLIX_NO_LEGACY_NAMES, their platform names. */
#ifdef PELLIX_NO_LEGACY_NAMES
#define PELLIX_EXPORT(result, name, parameters) \
  PELLIX_API result PellixDll##name parameters __asm__("Dll" #name)
#elif defined(PELLIX_BUILDING_LIBRARY)
#define PELLIX_EXPORT(result, name, parameters) PELLIX_API result Dll##name parameters
#else
#define PELLIX_EXPORT(result, name, parameters)                      \
  PELLIX_API result PellixDll##name parameters __asm__("Dll" #name); \
  PELLIX_API result Dll##name parameters
#endif

/* A class factory for CLSID_ALG_V1S (CLASS_E_CLASSNOTAVAILABLE for any other class). */
PELLIX_EXPORT(PellixHRESULT, GetClassObject,
              (const PellixCLSID* rclsid, const PellixIID* riid, void** ppv));
/* S_OK when no object and no server lock remains, else S_FALSE. */
PELLIX_EXPORT(PellixHRESULT, CanUnloadNow, (void));
/* Records ALG_V1S (its identifier, "Pellix.ALG_V1S" and this library's path) in the per-user
 * registry $XDG_DATA_HOME/Pellix/registry.json (else ~/.local/share/...), replacing the file
 * atomically. A damaged registry file fails with error 321, its path in the description. */
PELLIX_EXPORT(PellixHRESULT, RegisterServer, (void));
/* Removes ALG_V1S from the per-user registry; other classes' entries stay. */
PELLIX_EXPORT(PellixHRESULT, UnregisterServer, (void));

/* Finds `name` (a class identifier in registry form "{...}" or a program name such as
 * "Pellix.ALG_V1S", UTF-8) in the per-user registry, loads its library and creates an instance
 * through the library's class factory. CLASS_E_CLASSNOTAVAILABLE when the registry does not
 * hold it; error 53 when the library cannot be loaded; error 321 for a damaged registry. */
PELLIX_API PellixHRESULT PellixCreateInstance(const char* name, const PellixIID* riid, void** ppv);

/* Strings. PellixSysAllocString* return a new string the caller frees, or null when memory
 * runs out (or for a null input); PellixSysFreeString accepts null. */
PELLIX_API PellixBSTR PellixSysAllocString(const PellixOLECHAR* text);
PELLIX_API PellixBSTR PellixSysAllocStringLen(const PellixOLECHAR* text, PellixUINT length);
/* From UTF-8; invalid sequences become U+FFFD. */
PELLIX_API PellixBSTR PellixSysAllocStringUtf8(const char* text);
PELLIX_API void PellixSysFreeString(PellixBSTR text);
/* Length in UTF-16 code units (0 for null). */
PELLIX_API PellixUINT PellixSysStringLen(PellixBSTR text);
/* The text as UTF-8 into `out` (at most `size` bytes with the terminating zero; lone surrogates
 * become U+FFFD). Returns the number of bytes the whole text needs, terminator excluded. */
PELLIX_API size_t PellixStringToUtf8(PellixBSTR text, char* out, size_t size);

/* Values. Init makes an Empty value; Clear frees what the value owns and leaves it Empty;
 * Copy clears `dest`, then makes it a deep copy of `src`. */
PELLIX_API void PellixVariantInit(PellixVARIANT* value);
PELLIX_API PellixHRESULT PellixVariantClear(PellixVARIANT* value);
PELLIX_API PellixHRESULT PellixVariantCopy(PellixVARIANT* dest, const PellixVARIANT* src);

/* Error information of this thread: Set replaces it (null clears; the component takes a
 * reference), Get hands it over and clears it (S_FALSE and null when there is none). A failure
 * of the control's interfaces that has no description of its own (E_POINTER, a dispatch
 * status, RPC_E_WRONG_THREAD) clears it, so it never describes an older failure; a success
 * leaves it. It is released when the thread ends. */
PELLIX_API PellixHRESULT PellixSetErrorInfo(PellixDWORD reserved, PellixIErrorInfo* info);
PELLIX_API PellixHRESULT PellixGetErrorInfo(PellixDWORD reserved, PellixIErrorInfo** info);
/* The description of the last failure on this thread as a new string (null when none);
 * leaves the error information in place. */
PELLIX_API PellixBSTR PellixLastErrorDescription(void);
/* The platform error number inside a failure status (0 when it is not one). */
PELLIX_API int PellixErrorNumber(PellixHRESULT status);

/* The name a property put notifies under, UTF-8, static (null for an identifier without one):
 * the property's name, except CR_msgX, which notifies as "CR_MSGX". */
PELLIX_API const char* PellixPropertyChangeName(PellixDISPID dispid);

/* The type library: its name, identifier, locale, version and help string, and the identifiers
 * and program name of the class it describes (static; texts UTF-8). */
typedef struct PellixTypeLibraryInfo {
  const char* name;
  PellixGUID libid;
  PellixLCID lcid;
  PellixWORD major_version;
  PellixWORD minor_version;
  const char* help_string;
  PellixCLSID class_id;
  PellixIID interface_id;
  PellixIID event_interface_id;
  const char* program_name;
} PellixTypeLibraryInfo;
PELLIX_API const PellixTypeLibraryInfo* PellixTypeLibrary(void);

#ifdef __cplusplus
}

namespace pellix {
class ALG_V1S;
}
/* For C++ code built with the control's own sources, which draws or drives the control behind
 * an object (the Qt widget): that control, which lives as long as the object; null for a null
 * pointer or an object this library did not make. On the object's thread. */
extern "C" PELLIX_API pellix::ALG_V1S* PellixControlOf(PellixIUnknown* object);
#endif

#endif /* PELLIX_H */
