"""The launcher client library for Python, through ctypes and the library's C interface.

Requests return a concurrent.futures.Future at once. The library runs its callbacks only
inside Session.update(), on the thread that calls it, and that is where the futures are
resolved and their done-callbacks run. A request the library drops without answering (its
launcher connection was lost, or the session was closed) fails with ConnectionError. Use one
thread.

The library is found through the VELHALYXAPI_R2_LIBRARY environment variable, else by its
platform name (velhalyxapi_r2.dll, libvelhalyxapi_r2.so) on the loader's search path.
"""

import ctypes
import os
import sys
from concurrent.futures import Future

__all__ = ["Session", "SavegameReader", "SavegameWriter", "SavegameInfo", "SavegameError"]

_u32 = ctypes.c_uint32
_ptr = ctypes.c_void_p
_u16p = ctypes.POINTER(ctypes.c_uint16)
# cdecl everywhere: CFUNCTYPE, and CDLL for the functions.
_LoginDetails = ctypes.CFUNCTYPE(None, _ptr, _u32, ctypes.c_char_p, _u16p, ctypes.c_char_p)
_HalyxServer = ctypes.CFUNCTYPE(None, _ptr, _u32, _ptr)
_Handle = ctypes.CFUNCTYPE(None, _ptr, _u32, _u32, _ptr)
_List = ctypes.CFUNCTYPE(None, _ptr, _u32, _ptr, _u32)
_Count = ctypes.CFUNCTYPE(None, _ptr, _u32, _u32)
_Dropped = ctypes.CFUNCTYPE(None, _ptr, _u32)

_SIGNATURES = {
    "CreateSession": (_ptr, []),
    "DestroySession": (None, [_ptr]),
    "SetDroppedCallback": (None, [_ptr, _Dropped]),
    "Update": (None, [_ptr]),
    "GetRequestUniqueId": (_u32, [_ptr]),
    "GetLocText": (_u16p, [_ptr, _u16p, ctypes.c_char_p]),
    "GetLoginDetails": (None, [_ptr, _u32, _LoginDetails, _ptr]),
    "GetHalyxServer": (None, [_ptr, _u32, _HalyxServer, _ptr, _u32, _u32]),
    "GetSavegameReader": (None, [_ptr, _u32, _Handle, _ptr, _u32, _u32]),
    "GetSavegameWriter": (None, [_ptr, _u32, _Handle, _ptr, _u32, _u32, ctypes.c_int]),
    "GetSavegameList": (None, [_ptr, _u32, _List, _ptr, _u32]),
    "RemoveSavegame": (None, [_ptr, _u32, _Count, _ptr, _u32, _u32]),
    "SavegameReaderRead": (None, [_ptr, _u32, _Count, _ptr, _u32, _ptr, _u32]),
    "SavegameReaderClose": (None, [_ptr]),
    "SavegameWriterWrite": (None, [_ptr, _u32, _Count, _ptr, ctypes.c_char_p, _u32]),
    "SavegameWriterSetName": (ctypes.c_int, [_ptr, _u16p]),
    "SavegameWriterClose": (None, [_ptr, ctypes.c_int]),
    "SavegameListAt": (_ptr, [_ptr, _u32]),
    "SavegameInfoGetName": (_u16p, [_ptr]),
    "SavegameInfoGetProductId": (_u32, [_ptr]),
    "SavegameInfoGetSavegameId": (_u32, [_ptr]),
    "SavegameInfoGetSize": (_u32, [_ptr]),
}


def _load():
    default = "velhalyxapi_r2.dll" if sys.platform == "win32" else "libvelhalyxapi_r2.so"
    library = ctypes.CDLL(os.environ.get("VELHALYXAPI_R2_LIBRARY", default))
    functions = {}
    for name, (result, arguments) in _SIGNATURES.items():
        function = getattr(library, "KxHalyxdllC" + name)
        function.restype = result
        function.argtypes = arguments
        functions[name] = function
    return functions


_c = None


def _utf16(text):
    units = text.encode("utf-16-le")
    array = (ctypes.c_uint16 * (len(units) // 2 + 1))()
    ctypes.memmove(array, units, len(units))
    return array


def _from_utf16(pointer):
    if not pointer:
        return ""
    length = 0
    while pointer[length] != 0:
        length += 1
    return ctypes.string_at(pointer, length * 2).decode("utf-16-le")


class SavegameError(Exception):
    """An open or remove request the launcher refused: result 1 not found (for writing:
    overwrite refused), 2 slot locked, 3 failed or slot id 0."""

    def __init__(self, result):
        super().__init__("launcher refused the request (result %d)" % result)
        self.result = result


class SavegameInfo:
    """One savegame of a list: name, product id, slot id and size in bytes."""

    def __init__(self, name, product_id, slot_id, size):
        self.name, self.product_id, self.slot_id, self.size = name, product_id, slot_id, size

    def __repr__(self):
        return "SavegameInfo(%r, product %d, slot %d, %d bytes)" % (
            self.name, self.product_id, self.slot_id, self.size)


# The requests waiting for their callbacks, by the context number handed to the library; each
# entry keeps alive what the library may still write to (a read's buffer). The callback
# functions below live as long as the module, hence as long as any request.
_pending = {}
_next_context = [1]


def _expect(resolve, keep=None):
    context = _next_context[0]
    _next_context[0] += 1
    future = Future()
    future.set_running_or_notify_cancel()
    _pending[context] = (future, resolve, keep)
    return context, future


def _settle(context, *arguments):
    future, resolve, _ = _pending.pop(context)
    try:
        future.set_result(resolve(*arguments))
    except SavegameError as error:
        future.set_exception(error)


def _on_dropped(context, request_id):
    entry = _pending.pop(context, None)
    if entry is not None:
        entry[0].set_exception(ConnectionError("request %d dropped by the library" % request_id))


def _list_entries(savegames, count):
    infos = []
    for index in range(count):
        info = _c["SavegameListAt"](savegames, index)
        infos.append(SavegameInfo(_from_utf16(_c["SavegameInfoGetName"](info)),
                                  _c["SavegameInfoGetProductId"](info),
                                  _c["SavegameInfoGetSavegameId"](info),
                                  _c["SavegameInfoGetSize"](info)))
    return infos


_callbacks = {
    "login": _LoginDetails(lambda context, _id, user, password, key: _settle(
        context, user.decode("utf-8"), _from_utf16(password), key.decode("utf-8"))),
    "server": _HalyxServer(lambda context, _id, pipe: _settle(context, pipe)),
    "handle": _Handle(lambda context, _id, result, handle: _settle(context, result, handle)),
    "list": _List(lambda context, _id, savegames, count: _settle(context, savegames, count)),
    "count": _Count(lambda context, _id, count: _settle(context, count)),
    "dropped": _Dropped(lambda context, request_id: _on_dropped(context, request_id)),
}


def _opened(kind):
    def resolve(result, handle):
        if result != 0:
            raise SavegameError(result)
        return kind(handle)
    return resolve


class SavegameReader:
    """A savegame open for reading; close it when done."""

    def __init__(self, handle):
        self._handle = handle

    def read(self, offset, count, request_id=None):
        """A future of the `count` bytes at `offset`, fewer when the savegame ends before."""
        buffer = ctypes.create_string_buffer(count)
        context, future = _expect(lambda last: buffer.raw[:count], keep=buffer)
        _c["SavegameReaderRead"](self._handle, request_id or _ids(), _callbacks["count"],
                                 context, offset, buffer, count)
        return future

    def close(self):
        _c["SavegameReaderClose"](self._handle)
        self._handle = None


class SavegameWriter:
    """A savegame slot open for writing; close it to keep (persist) or discard the data."""

    def __init__(self, handle):
        self._handle = handle

    def set_name(self, name):
        """The display name (at most 255 UTF-16 units); False when refused."""
        return bool(_c["SavegameWriterSetName"](self._handle, _utf16(name)))

    def write(self, data, request_id=None):
        """Appends `data` (copied at once); a future of the byte count the launcher wrote."""
        context, future = _expect(lambda written: written)
        _c["SavegameWriterWrite"](self._handle, request_id or _ids(), _callbacks["count"],
                                  context, bytes(data), len(data))
        return future

    def close(self, persist=True):
        _c["SavegameWriterClose"](self._handle, 1 if persist else 0)
        self._handle = None


_session = [None]


def _ids():
    return _c["GetRequestUniqueId"](_session[0])


class Session:
    """The game's session with the launcher (one per process). Call update() every frame."""

    def __init__(self):
        global _c
        if _c is None:
            _c = _load()
        self._handle = _c["CreateSession"]()
        if not self._handle:
            raise MemoryError("no session")
        _session[0] = self._handle
        _c["SetDroppedCallback"](self._handle, _callbacks["dropped"])

    def update(self):
        """Runs the callbacks of the answers that have arrived, on this thread."""
        _c["Update"](self._handle)

    def close(self):
        """Ends the session; pending requests fail with ConnectionError."""
        _c["DestroySession"](self._handle)
        self._handle = _session[0] = None

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()

    def login_details(self):
        """A future of (user name, password, cd key)."""
        context, future = _expect(lambda user, password, key: (user, password, key))
        _c["GetLoginDetails"](self._handle, _ids(), _callbacks["login"], context)
        return future

    def server_pipe(self, product_id, sub_product_id=0):
        """A future of the opened server pipe (a file descriptor on POSIX, a HANDLE value on
        Windows), now the caller's, or None when it could not be opened."""
        invalid = ctypes.c_void_p(-1).value
        context, future = _expect(lambda pipe: None if pipe in (None, invalid) else pipe)
        _c["GetHalyxServer"](self._handle, _ids(), _callbacks["server"], context, product_id,
                             sub_product_id)
        return future

    def open_reader(self, product_id, slot_id):
        """A future of a SavegameReader; SavegameError when refused."""
        context, future = _expect(_opened(SavegameReader))
        _c["GetSavegameReader"](self._handle, _ids(), _callbacks["handle"], context, product_id,
                                slot_id)
        return future

    def open_writer(self, product_id, slot_id, overwrite=True):
        """A future of a SavegameWriter; SavegameError when refused."""
        context, future = _expect(_opened(SavegameWriter))
        _c["GetSavegameWriter"](self._handle, _ids(), _callbacks["handle"], context, product_id,
                                slot_id, 1 if overwrite else 0)
        return future

    def savegames(self, product_id):
        """A future of the product's savegames, a list of SavegameInfo."""
        context, future = _expect(_list_entries)
        _c["GetSavegameList"](self._handle, _ids(), _callbacks["list"], context, product_id)
        return future

    def remove(self, product_id, slot_id):
        """A future that is done once the savegame is removed; SavegameError when refused."""
        def resolve(result):
            if result != 0:
                raise SavegameError(result)
        context, future = _expect(resolve)
        _c["RemoveSavegame"](self._handle, _ids(), _callbacks["count"], context, product_id,
                             slot_id)
        return future

    def loc_text(self, key, language_code):
        """The localized text of `key` in `language_code`; empty when unknown."""
        return _from_utf16(_c["GetLocText"](self._handle, _utf16(key),
                                            language_code.encode("ascii")))
