"""The host's side of the boundary written in Python: the client site (ambient UserMode,
PropertyChanged) and a property bag over any mapping, shown to the component as interfaces."""

import ctypes
from ctypes import POINTER, c_int32, c_uint16, c_uint32, c_void_p

from . import _abi, _library

DISP_E_MEMBERNOTFOUND = -0x7FFDFFFD  # 0x80020003
_UNKNOWN_ENTRIES = [
    (_abi.HRESULT, [c_void_p, POINTER(_abi.GUID), POINTER(c_void_p)]),
    (c_uint32, [c_void_p]),
    (c_uint32, [c_void_p]),
]


class _Interfaces:
    """A Python object shown as several interfaces. Each face is a pointer to a function table
    of ctypes callbacks; the component's references are counted but the Python object owns
    the memory, so it must outlive every pointer handed out.

    An exception raised in an entry, KeyboardInterrupt and SystemExit included, never escapes
    into the component (ctypes would print and drop it, and the call would look successful):
    the entry fails with E_FAIL and the first such exception is kept in `error` for the
    caller to raise when the component's call returns."""

    def __init__(self, faces):
        self._callbacks = []
        self._tables = []
        self._faces = []
        self._by_iid = {}
        self.references = 0
        self.error = None
        for iids, entries in faces:
            functions = [self._query_interface, self._add_ref, self._release] + \
                [function for _, _, function in entries]
            kinds = _UNKNOWN_ENTRIES + [(restype, argtypes) for restype, argtypes, _ in entries]
            table = (c_void_p * len(functions))()
            for index, (function, (restype, argtypes)) in enumerate(zip(functions, kinds)):
                entry = self._guarded(function, _abi.E_FAIL if restype is _abi.HRESULT else 0)
                callback = ctypes.CFUNCTYPE(restype, *argtypes)(entry)
                self._callbacks.append(callback)
                table[index] = ctypes.cast(callback, c_void_p).value
            face = ctypes.c_void_p(ctypes.addressof(table))
            self._tables.append(table)
            self._faces.append(face)
            for iid in iids:
                self._by_iid.setdefault(bytes(iid), ctypes.addressof(face))

    def _guarded(self, function, failure):
        def entry(*args):
            try:
                return function(*args)
            except BaseException as error:  # noqa: B036 - raised to the caller after the call
                if self.error is None:
                    self.error = error
                return failure
        return entry

    def take_error(self):
        """The exception an entry raised since the last call, and forgets it."""
        error, self.error = self.error, None
        return error

    def pointer(self, iid=_abi.IID_IUnknown):
        return self._by_iid[bytes(iid)]

    def _query_interface(self, _this, riid, out):
        if not out:
            return _abi.E_POINTER
        face = self._by_iid.get(bytes(riid.contents)) if riid else None
        out[0] = face
        if face is None:
            return _abi.E_NOINTERFACE
        self.references += 1
        return _abi.S_OK

    def _add_ref(self, _this):
        self.references += 1
        return self.references

    def _release(self, _this):
        self.references -= 1
        return self.references


class Site(_Interfaces):
    """The container: answers the ambient UserMode and passes PropertyChanged on to
    `on_changed(name, dispid)`."""

    def __init__(self, user_mode, on_changed):
        self.user_mode = user_mode
        self._on_changed = on_changed
        dispatch = [
            (_abi.HRESULT, [c_void_p, POINTER(c_uint32)], self._type_info_count),
            (_abi.HRESULT, [c_void_p, c_uint32, c_uint32, POINTER(c_void_p)], self._type_info),
            (_abi.HRESULT, [c_void_p, c_void_p, c_void_p, c_uint32, c_uint32, c_void_p],
             self._ids_of_names),
            (_abi.HRESULT, [c_void_p, c_int32, c_void_p, c_uint32, c_uint16,
                            c_void_p, POINTER(_abi.VARIANT), c_void_p, c_void_p],
             self._invoke),
        ]
        sink = [
            (_abi.HRESULT, [c_void_p, c_int32], self._changed),
            (_abi.HRESULT, [c_void_p, c_int32], self._request_edit),
        ]
        super().__init__([([_abi.IID_IUnknown, _abi.IID_IDispatch], dispatch),
                          ([_abi.IID_IPropertyNotifySink], sink)])

    @staticmethod
    def _type_info_count(_this, count):
        if count:
            count[0] = 0
        return _abi.S_OK

    @staticmethod
    def _type_info(_this, _index, _lcid, out):
        if out:
            out[0] = None
        return _abi.E_NOTIMPL

    @staticmethod
    def _ids_of_names(*_):
        return _abi.E_NOTIMPL

    def _invoke(self, _this, dispid, _riid, _lcid, flags, _params, result, _excep, _arg):
        if dispid != _abi.DISPID_AMBIENT_USERMODE or not flags & _abi.DISPATCH_PROPERTYGET:
            return DISP_E_MEMBERNOTFOUND
        if result:
            _library.set_variant(result.contents, bool(self.user_mode))
        return _abi.S_OK

    def _changed(self, _this, dispid):
        name = _library.library().PellixPropertyChangeName(dispid)
        self._on_changed(name.decode("utf-8") if name else "", dispid)
        return _abi.S_OK

    @staticmethod
    def _request_edit(_this, _dispid):
        return _abi.S_OK


class MappingBag(_Interfaces):
    """A property bag over a mapping: a missing key reads as absent (the control's default),
    values are None, bool, int, float or str. An integer beyond the double range fails the
    read with the platform's overflow (6); a value of another type is refused by the control
    as a type mismatch (13). An exception from the mapping fails the call (E_FAIL) and is kept
    in `error` for the caller to raise."""

    def __init__(self, mapping):
        self.mapping = mapping
        entries = [
            (_abi.HRESULT, [c_void_p, c_void_p, POINTER(_abi.VARIANT), c_void_p], self._read),
            (_abi.HRESULT, [c_void_p, c_void_p, POINTER(_abi.VARIANT)], self._write),
        ]
        super().__init__([([_abi.IID_IUnknown, _abi.IID_IPropertyBag], entries)])

    def _read(self, _this, name, value, _log):
        key = _library.str_from_olestr(name)
        try:
            stored = self.mapping[key]
        except KeyError:
            return _abi.E_INVALIDARG
        if _library.beyond_double_range(stored):
            return _abi.platform_status(_abi.OVERFLOW)
        _library.set_variant(value.contents, stored)
        return _abi.S_OK

    def _write(self, _this, name, value):
        key = _library.str_from_olestr(name)
        self.mapping[key] = _library.python_value(value.contents, whole_as_int=True)
        return _abi.S_OK
