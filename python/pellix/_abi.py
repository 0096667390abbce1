"""The component's binary interface in ctypes: identifiers, status codes, value records,
string conversion and calls through an interface pointer's function table."""

import ctypes
from ctypes import (POINTER, Structure, Union, c_double, c_float, c_int16, c_int32,
                    c_uint16, c_uint32, c_uint64, c_uint8, c_void_p)

S_OK = 0
S_FALSE = 1
E_NOTIMPL = -0x7FFFBFFF  # 0x80004001
E_NOINTERFACE = -0x7FFFBFFE  # 0x80004002
E_POINTER = -0x7FFFBFFD  # 0x80004003
E_FAIL = -0x7FFFBFFB  # 0x80004005
E_INVALIDARG = -0x7FF8FFA9  # 0x80070057
DISP_E_EXCEPTION = -0x7FFDFFF7  # 0x80020009
DISP_E_TYPEMISMATCH = -0x7FFDFFFB  # 0x80020005

VT_EMPTY, VT_I2, VT_I4, VT_R4, VT_R8, VT_BSTR, VT_ERROR, VT_BOOL, VT_UI1 = 0, 2, 3, 4, 5, 8, 10, 11, 17
VT_VARIANT = 12
VT_VOID = 24
DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT = 1, 2, 4
DISPID_PROPERTYPUT = -3
DISPID_AMBIENT_USERMODE = -709
INVOKE_FUNC, INVOKE_PROPERTYGET, INVOKE_PROPERTYPUT = 1, 2, 4
FUNCFLAG_FHIDDEN = 0x40
MEMBERID_NIL = -1

HRESULT = c_int32

OVERFLOW, TYPE_MISMATCH = 6, 13  # platform error numbers


def platform_status(number):
    """The status of platform error `number`: 0x800A0000 + number, as a signed HRESULT."""
    return (0x800A0000 + number) - 2**32


def status_text(status):
    """A status code as the platform writes it: 0x8001010E."""
    return "0x%08X" % (status & 0xFFFFFFFF)


class GUID(Structure):
    _fields_ = [("Data1", c_uint32), ("Data2", c_uint16), ("Data3", c_uint16),
                ("Data4", c_uint8 * 8)]

    @classmethod
    def parse(cls, text):
        """An identifier from its registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"."""
        digits = text.strip("{}").replace("-", "")
        raw = bytes.fromhex(digits)
        if len(raw) != 16:
            raise ValueError("not a class identifier: %r" % text)
        return cls(int.from_bytes(raw[0:4], "big"), int.from_bytes(raw[4:6], "big"),
                   int.from_bytes(raw[6:8], "big"), (c_uint8 * 8)(*raw[8:]))

    def __str__(self):
        tail = bytes(self.Data4).hex().upper()
        return "{%08X-%04X-%04X-%s-%s}" % (self.Data1, self.Data2, self.Data3, tail[:4], tail[4:])

    def __eq__(self, other):
        return isinstance(other, GUID) and bytes(self) == bytes(other)

    def __hash__(self):
        return hash(bytes(self))


def _guid(text):
    return GUID.parse(text)


IID_NULL = GUID()
IID_IUnknown = _guid("{00000000-0000-0000-C000-000000000046}")
IID_IClassFactory = _guid("{00000001-0000-0000-C000-000000000046}")
IID_IDispatch = _guid("{00020400-0000-0000-C000-000000000046}")
IID_ITypeInfo = _guid("{00020401-0000-0000-C000-000000000046}")
IID_IPropertyBag = _guid("{55272A00-42CB-11CE-8135-00AA004BB851}")
IID_IPersistPropertyBag = _guid("{37D84F60-42CB-11CE-8135-00AA004BB851}")
IID_IPropertyNotifySink = _guid("{9BFBBC02-EFF1-101A-84ED-00AA00341D07}")
IID_IObjectWithSite = _guid("{FC4801A3-2BA9-11CF-A229-00AA003D7352}")


class _VariantUnion(Union):
    _fields_ = [("iVal", c_int16), ("lVal", c_int32), ("fltVal", c_float),
                ("dblVal", c_double), ("bstrVal", c_void_p), ("boolVal", c_int16),
                ("bVal", c_uint8), ("scode", c_int32), ("byref", c_void_p),
                ("raw", c_uint64 * 2)]


class VARIANT(Structure):
    _fields_ = [("vt", c_uint16), ("wReserved1", c_uint16), ("wReserved2", c_uint16),
                ("wReserved3", c_uint16), ("u", _VariantUnion)]


assert ctypes.sizeof(VARIANT) == 24


class DISPPARAMS(Structure):
    _fields_ = [("rgvarg", POINTER(VARIANT)), ("rgdispidNamedArgs", POINTER(c_int32)),
                ("cArgs", c_uint32), ("cNamedArgs", c_uint32)]


class EXCEPINFO(Structure):
    _fields_ = [("wCode", c_uint16), ("wReserved", c_uint16), ("bstrSource", c_void_p),
                ("bstrDescription", c_void_p), ("bstrHelpFile", c_void_p),
                ("dwHelpContext", c_uint32), ("pvReserved", c_void_p),
                ("pfnDeferredFillIn", c_void_p), ("scode", c_int32)]


class TYPEDESC(Structure):
    _fields_ = [("u", c_void_p), ("vt", c_uint16)]


class ELEMDESC(Structure):
    _fields_ = [("tdesc", TYPEDESC), ("pparamdescex", c_void_p), ("wParamFlags", c_uint16)]


class TYPEATTR(Structure):
    _fields_ = [("guid", GUID), ("lcid", c_uint32), ("dwReserved", c_uint32),
                ("memidConstructor", c_int32), ("memidDestructor", c_int32),
                ("lpstrSchema", c_void_p), ("cbSizeInstance", c_uint32),
                ("typekind", c_int32), ("cFuncs", c_uint16), ("cVars", c_uint16),
                ("cImplTypes", c_uint16), ("cbSizeVft", c_uint16), ("cbAlignment", c_uint16),
                ("wTypeFlags", c_uint16), ("wMajorVerNum", c_uint16),
                ("wMinorVerNum", c_uint16), ("tdescAlias", TYPEDESC),
                ("idldescType", c_void_p * 2)]


class FUNCDESC(Structure):
    _fields_ = [("memid", c_int32), ("lprgscode", c_void_p),
                ("lprgelemdescParam", POINTER(ELEMDESC)), ("funckind", c_int32),
                ("invkind", c_int32), ("callconv", c_int32), ("cParams", c_int16),
                ("cParamsOpt", c_int16), ("oVft", c_int16), ("cScodes", c_int16),
                ("elemdescFunc", ELEMDESC), ("wFuncFlags", c_uint16)]


class TypeLibraryInfo(Structure):
    _fields_ = [("name", ctypes.c_char_p), ("libid", GUID), ("lcid", c_uint32),
                ("major_version", c_uint16), ("minor_version", c_uint16),
                ("help_string", ctypes.c_char_p), ("class_id", GUID), ("interface_id", GUID),
                ("event_interface_id", GUID), ("program_name", ctypes.c_char_p)]


_prototypes = {}


def call(interface, index, restype, argtypes, *args):
    """Calls entry `index` of the function table of `interface` (an interface pointer as an
    integer), with the interface pointer first."""
    key = (restype, tuple(argtypes))
    prototype = _prototypes.get(key)
    if prototype is None:
        prototype = _prototypes[key] = ctypes.CFUNCTYPE(restype, c_void_p, *argtypes)
    table = ctypes.cast(interface, POINTER(POINTER(c_void_p)))[0]
    return prototype(table[index])(interface, *args)


def query_interface(interface, iid):
    out = c_void_p()
    status = call(interface, 0, HRESULT, [POINTER(GUID), POINTER(c_void_p)],
                  ctypes.byref(iid), ctypes.byref(out))
    return status, out.value


def release(interface):
    if interface:
        call(interface, 2, ctypes.c_uint32, [])
