"""The control ALG_V1S as a Python object: its members discovered from the component's type
information, called by late binding (IDispatch::Invoke)."""

import ctypes
import threading
import weakref
from ctypes import POINTER, byref, c_int32, c_uint16, c_uint32, c_void_p

from . import _abi, _host, _library
from ._closing import Closing

_LOCALE = 0x409
_STATUS_TEXT = {
    _abi.E_POINTER & 0xFFFFFFFF: "Invalid pointer",
    0x8001010E: "The instance belongs to another thread",
    0x80020003: "Member not found",
    0x8002000E: "Invalid number of parameters",
    0x80020005: "Type mismatch",
    0x8007000E: "Out of memory",
}


class PellixError(Exception):
    """A failed call into the control.

    `number` is the platform error number (13 for "Type mismatch", 382 for "Set not supported
    at runtime"; 0 when the failure is not a platform error), `description` its text and
    `status` the 32-bit status code the component returned. When ``Control(properties)``
    stops loading at a key, `control` is the new instance, holding what was loaded before
    that key (the caller closes it); otherwise it is None."""

    def __init__(self, number, description, status):
        super().__init__("error %d: %s" % (number, description) if number
                         else "%s (%s)" % (description, _abi.status_text(status)))
        self.number = number
        self.description = description
        self.status = status
        self.control = None


# Statuses of late binding that are platform errors in all but their facility.
_PLATFORM_NUMBERS = {_abi.DISP_E_TYPEMISMATCH: _abi.TYPE_MISMATCH}


def _failure(status, description=None):
    lib = _library.library()
    number = lib.PellixErrorNumber(status)
    if description is None and number:
        text = lib.PellixLastErrorDescription()
        description = _library.str_from_bstr(text) or None
        _library.free_bstr(text)
    number = number or _PLATFORM_NUMBERS.get(status, 0)
    if description is None:
        description = _STATUS_TEXT.get(status & 0xFFFFFFFF, "Call failed")
    return PellixError(number, description, status)


class Member:
    """One name of the interface as the type information gives it: its dispatch identifier,
    whether it is a method, a get and/or a put, its type, hidden flag and help string."""

    def __init__(self, name, dispid):
        self.name = name
        self.dispid = dispid
        self.method = False
        self.get = False
        self.put = False
        self.type = _abi.VT_VARIANT
        self.hidden = False
        self.help = ""


def _read_members(dispatch):
    """The members of _ALG_V1S, in interface order, from the instance's type information."""
    info = c_void_p()
    status = _abi.call(dispatch, 4, _abi.HRESULT, [c_uint32, c_uint32, POINTER(c_void_p)],
                       0, _LOCALE, byref(info))
    if status < 0:
        raise _failure(status)
    try:
        attr = POINTER(_abi.TYPEATTR)()
        status = _abi.call(info.value, 3, _abi.HRESULT, [POINTER(POINTER(_abi.TYPEATTR))],
                           byref(attr))
        if status < 0:
            raise _failure(status)
        count = attr.contents.cFuncs
        _abi.call(info.value, 19, None, [POINTER(_abi.TYPEATTR)], attr)
        members = {}
        for index in range(count):
            desc = POINTER(_abi.FUNCDESC)()
            status = _abi.call(info.value, 5, _abi.HRESULT,
                               [c_uint32, POINTER(POINTER(_abi.FUNCDESC))], index, byref(desc))
            if status < 0:
                raise _failure(status)
            fd = desc.contents
            memid, invkind = fd.memid, fd.invkind
            if invkind == _abi.INVOKE_PROPERTYPUT:
                value_type = fd.lprgelemdescParam[0].tdesc.vt
            else:
                value_type = fd.elemdescFunc.tdesc.vt
            hidden = bool(fd.wFuncFlags & _abi.FUNCFLAG_FHIDDEN)
            _abi.call(info.value, 20, None, [POINTER(_abi.FUNCDESC)], desc)
            name, help_text = c_void_p(), c_void_p()
            status = _abi.call(info.value, 12, _abi.HRESULT,
                               [c_int32, POINTER(c_void_p), POINTER(c_void_p), c_void_p,
                                c_void_p], memid, byref(name), byref(help_text), None, None)
            if status < 0:
                raise _failure(status)
            text = _library.str_from_bstr(name.value)
            member = members.setdefault(text, Member(text, memid))
            member.help = _library.str_from_bstr(help_text.value)
            _library.free_bstr(name.value)
            _library.free_bstr(help_text.value)
            member.method |= invkind == _abi.INVOKE_FUNC
            member.get |= invkind == _abi.INVOKE_PROPERTYGET
            member.put |= invkind == _abi.INVOKE_PROPERTYPUT
            member.type = value_type
            member.hidden = hidden
        return list(members.values())
    finally:
        _abi.release(info.value)


def _method(member):
    def call(self):
        return self._invoke(member.dispid, _abi.DISPATCH_METHOD)
    call.__name__ = member.name
    call.__doc__ = "The control's method %s (dispatch identifier 0x%08X)." % (
        member.name, member.dispid & 0xFFFFFFFF)
    return call


def _property(member):
    def fget(self):
        return self._invoke(member.dispid, _abi.DISPATCH_PROPERTYGET)

    def fset(self, value):
        self._invoke(member.dispid, _abi.DISPATCH_PROPERTYPUT, value)
    doc = member.help or "The control's property %s." % member.name
    return property(fget if member.get else None, fset if member.put else None, doc=doc)


class Control(Closing):
    """One ALG_V1S instance, for hosts that want the control's automation interface. See the
    package documentation for an example.

    ``DATAstr`` names an 8-bit sample file (``pellix convert`` writes one): the control reads
    nothing else. To analyse recordings (WAV, FLAC, ... at any rate), bytes or NumPy samples,
    use ``pellix.Speaker``, which converts them and gives the report's rows."""

    __slots__ = ("_dispatch", "_persist", "_with_site", "_site", "_thread", "_depth",
                 "_closing", "on_property_changed", "__weakref__")
    members = ()
    _installed = False

    def __init__(self, properties=None, *, user_mode=True, on_property_changed=None):
        """Creates an instance and sends it InitProperties, or ReadProperties from the mapping
        `properties` when given. `user_mode` is the container's ambient UserMode (run mode);
        `on_property_changed(name, dispid)` hears every PropertyChanged."""
        self._dispatch = self._persist = self._with_site = None
        self._thread = threading.get_ident()
        self._depth = 0
        self._closing = False
        self.on_property_changed = on_property_changed
        lib = _library.library()
        info = lib.PellixTypeLibrary().contents
        factory = c_void_p()
        status = lib.DllGetClassObject(byref(info.class_id), byref(_abi.IID_IClassFactory),
                                       byref(factory))
        if status < 0:
            raise _failure(status)
        try:
            dispatch = c_void_p()
            status = _abi.call(factory.value, 3, _abi.HRESULT,
                               [c_void_p, POINTER(_abi.GUID), POINTER(c_void_p)],
                               None, byref(info.interface_id), byref(dispatch))
            if status < 0:
                raise _failure(status)
            self._dispatch = dispatch.value
        finally:
            _abi.release(factory.value)
        # The site reaches this object weakly, so that dropping the last reference to it
        # releases the instance at once, on the thread that drops it.
        notify = weakref.WeakMethod(self._notify)
        self._site = _host.Site(user_mode, lambda name, dispid: notify()(name, dispid))
        status, self._with_site = _abi.query_interface(self._dispatch, _abi.IID_IObjectWithSite)
        if status >= 0:
            status = _abi.call(self._with_site, 3, _abi.HRESULT, [c_void_p], self._site.pointer())
        if status < 0:
            self.close()
            raise _failure(status)
        status, self._persist = _abi.query_interface(self._dispatch,
                                                     _abi.IID_IPersistPropertyBag)
        if status < 0:
            self.close()
            raise _failure(status)
        type(self)._install(self._dispatch)
        try:
            if properties is None:
                self.init_properties()
            else:
                self.read_properties(properties)
        except PellixError as error:
            if properties is None:
                self.close()
            else:
                error.control = self
            raise
        except BaseException:
            self.close()
            raise

    @classmethod
    def _install(cls, dispatch):
        # The members become attributes once, from the first instance's type information.
        if cls._installed:
            return
        cls.members = tuple(_read_members(dispatch))
        for member in cls.members:
            setattr(cls, member.name, _method(member) if member.method else _property(member))
        cls._installed = True

    def _notify(self, name, dispid):
        if self.on_property_changed is not None:
            self.on_property_changed(name, dispid)

    @property
    def user_mode(self):
        """The container's ambient UserMode: True in run mode, False in design mode."""
        return self._site.user_mode

    @user_mode.setter
    def user_mode(self, value):
        self._site.user_mode = bool(value)

    def _check_open(self):
        if self._dispatch is None or self._closing:
            raise ValueError("the control is closed")

    def _raise_pending(self):
        error = self._site.take_error()
        if error is not None:
            raise error

    def _call(self, function):
        """Runs `function`, which calls into the component; a close() from a callback it
        leads to takes effect when the outermost such call returns."""
        self._check_open()
        self._depth += 1
        try:
            return function()
        finally:
            self._depth -= 1
            if self._depth == 0 and self._closing:
                self._release()

    def _invoke(self, dispid, flags, *args):
        return self._call(lambda: self._invoke_now(dispid, flags, args))

    def _invoke_now(self, dispid, flags, args):
        params = _abi.DISPPARAMS()
        arguments = (_abi.VARIANT * max(1, len(args)))()
        named = c_int32(_abi.DISPID_PROPERTYPUT)
        for index, value in enumerate(reversed(args)):
            _library.set_variant(arguments[index], value)
        if args:
            params.rgvarg = arguments
            params.cArgs = len(args)
        if flags == _abi.DISPATCH_PROPERTYPUT:
            params.rgdispidNamedArgs = ctypes.pointer(named)
            params.cNamedArgs = 1
        result = _abi.VARIANT()
        exception = _abi.EXCEPINFO()
        argument_error = c_uint32()
        lib = _library.library()
        try:
            status = _abi.call(
                self._dispatch, 6, _abi.HRESULT,
                [c_int32, POINTER(_abi.GUID), c_uint32, c_uint16, POINTER(_abi.DISPPARAMS),
                 POINTER(_abi.VARIANT), POINTER(_abi.EXCEPINFO), POINTER(c_uint32)],
                dispid, byref(_abi.IID_NULL), _LOCALE, flags, byref(params), byref(result),
                byref(exception), byref(argument_error))
        finally:
            for index in range(len(args)):
                lib.PellixVariantClear(byref(arguments[index]))
        self._raise_pending()
        if status == _abi.DISP_E_EXCEPTION:
            description = _library.str_from_bstr(exception.bstrDescription)
            for text in (exception.bstrSource, exception.bstrDescription, exception.bstrHelpFile):
                _library.free_bstr(text)
            raise _failure(exception.scode, description)
        if status < 0:
            raise _failure(status)
        try:
            return _library.python_value(result)
        finally:
            lib.PellixVariantClear(byref(result))

    def _persistence(self, index, bag, *extra):
        argtypes = [c_void_p] * (1 if bag is not None else 0) + [c_void_p] * len(extra)
        args = ([bag.pointer(_abi.IID_IPropertyBag)] if bag is not None else []) + list(extra)
        status = self._call(lambda: _abi.call(self._persist, index, _abi.HRESULT, argtypes, *args))
        self._raise_pending()
        cause = bag.take_error() if bag is not None else None
        if cause is not None and not isinstance(cause, Exception):
            raise cause  # KeyboardInterrupt, SystemExit: the bag's call ended the load
        if status < 0:
            raise _failure(status) from cause

    def init_properties(self):
        """InitProperties: the settings of a new instance."""
        self._persistence(4, None)

    def read_properties(self, mapping):
        """ReadProperties from `mapping` (any mapping of key to None, bool, int, float or str;
        a missing key gives the control's default). A value that cannot be converted ends the
        load at that key with PellixError; what was loaded before stays."""
        self._persistence(5, _host.MappingBag(mapping), None)

    def write_properties(self, mapping=None):
        """WriteProperties into `mapping` (a new dict when None), which is returned: every key
        in the control's order, the last write under a key winning."""
        if mapping is None:
            mapping = {}
        self._persistence(6, _host.MappingBag(mapping), 1, 1)
        return mapping

    def close(self):
        """Releases the instance (taking its site away first). Further calls raise ValueError.
        Called from a callback (a property bag's mapping, on_property_changed), it takes
        effect when the call into the control that led to the callback returns."""
        self._closing = True
        if self._depth == 0:
            self._release()

    def _release(self):
        # Off the instance's thread only the release itself is allowed; the instance then
        # lets go of its site as it goes away.
        if self._with_site is not None and self._thread == threading.get_ident():
            _abi.call(self._with_site, 3, _abi.HRESULT, [c_void_p], None)
        if self._with_site is not None:
            _abi.release(self._with_site)
            self._with_site = None
        if self._persist is not None:
            _abi.release(self._persist)
            self._persist = None
        if self._dispatch is not None:
            _abi.release(self._dispatch)
            self._dispatch = None

    def __del__(self):
        if getattr(self, "_dispatch", None) is not None:
            self._release()
