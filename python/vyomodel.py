"""The shared VyoModel status model from Python (ctypes over libVyoModel.so, nothing compiled).

    import vyomodel
    model = vyomodel.Model()
    a = model.machine(1)
    a.position = 90000                      # setters store only a change
    print(a.display_name, a.in_play, model.master)
    for change in model.changes():          # each raised change flag, once
        print(change.code, change.machine, change.flag)
    reply = model.parse_sony(b"\\x61\\x0c\\x01", 1)
    model.save("/tmp/session.model")

Loading the library attaches this process to the shared block, named as the C library names it:
"/SharedZMModel", or $VYOMODEL_SHM_NAME when set before the first Model() of the process. The
library is found as the dynamic loader finds it (LD_LIBRARY_PATH, the system's folders), else in
the library folder of the prefix this module is installed in; $VYOMODEL_LIBRARY names a file.
A block that cannot be created ends the process (exit status 127), as it does for a C program.
"""

import ctypes
import operator
import os
import pathlib
import sysconfig
from typing import Iterator, NamedTuple, Optional

__all__ = ["Model", "Machine", "Change", "ModelError", "MACHINES"]

SONAME = "libVyoModel.so.1"
MACHINES = range(-1, 36)  # -1 the generator, 0 the reader, 1..35 the machines A, B, C...

_u8, _i8, _u16, _i32, _u32 = (ctypes.c_uint8, ctypes.c_int8, ctypes.c_uint16, ctypes.c_int32,
                              ctypes.c_uint32)
_text = ctypes.c_uint8 * 256
_buffer_ref = ctypes.POINTER(ctypes.POINTER(ctypes.c_uint8))


class ModelError(Exception):
    """An operation of the model failed, or the model holds an error code: the text says why,
    in the library's words where it has them."""


class Change(NamedTuple):
    """One change handed out by the model: machine flag 1..7 of `machine`, or system flag
    `flag` (0..6) when `machine` is None."""
    code: int
    machine: Optional[int]
    flag: int

    @classmethod
    def from_code(cls, code: int) -> "Change":
        if code >= 248:
            return cls(code, None, code - 248)
        return cls(code, code // 8 - 1, code % 8)


def _library_candidates():
    named = os.environ.get("VYOMODEL_LIBRARY")
    if named:
        yield named
        return
    yield SONAME
    # Installed as <prefix>/lib/python3/dist-packages/vyomodel.py beside <prefix>/<libdir>.
    prefix = pathlib.Path(__file__).resolve().parents[3]
    for libdir in ("lib/" + (sysconfig.get_config_var("MULTIARCH") or ""), "lib64", "lib"):
        yield str(prefix / libdir / SONAME)


def _load_library() -> ctypes.CDLL:
    errors = []
    for candidate in _library_candidates():
        try:
            return ctypes.CDLL(candidate, use_errno=True)
        except OSError as error:
            errors.append(str(error))
    raise ModelError("cannot load the model library: " + "; ".join(errors))


_LIB: Optional[ctypes.CDLL] = None


def _lib() -> ctypes.CDLL:
    global _LIB
    if _LIB is None:
        _LIB = _load_library()
    return _LIB


def _call(name, restype, *args, argtypes=None):
    function = getattr(_lib(), name)
    function.restype = restype
    if argtypes is not None:
        function.argtypes = argtypes
    return function(*args)


def _bytes_of_text(text) -> bytes:
    return bytes(text[1:1 + text[0]])


def _length_prefixed(data: bytes) -> "ctypes.Array":
    if len(data) > 255:
        raise ValueError("a length-prefixed string holds at most 255 bytes")
    return _text(len(data), *data)


def _machine_number(m: int) -> int:
    if m not in MACHINES:
        raise ValueError(f"machine number {m} is outside -1..35")
    return m


_RANGES = {_u8: (0, 0xFF), _i8: (-0x80, 0x7F), _u16: (0, 0xFFFF), _i32: (-2**31, 2**31 - 1),
           _u32: (0, 2**32 - 1), ctypes.c_bool: (0, 1)}


def _stored_value(name: str, ctype, value) -> int:
    """The value as the library's argument type takes it; out of range is an error, not a wrap."""
    number = operator.index(value)
    low, high = _RANGES[ctype]
    if not low <= number <= high:
        raise ValueError(f"{name} {number} is outside {low}..{high}")
    return number


class _Scalar:
    """A machine or system value with a getter and, when named, a setter of the library."""

    def __init__(self, field, ctype, writable=True, setter=None):
        self.getter = "getZQ_" + field
        self.setter = setter or ("setZQ_" + field if writable else None)
        self.ctype = ctype

    def __set_name__(self, owner, name):
        self.name = name

    def _args(self, obj):
        return (obj.number,) if isinstance(obj, Machine) else ()

    def _argtypes(self, obj):
        return [_i8] if isinstance(obj, Machine) else []

    def __get__(self, obj, owner=None):
        if obj is None:
            return self
        value = _call(self.getter, self.ctype, *self._args(obj), argtypes=self._argtypes(obj))
        return bool(value) if self.ctype is ctypes.c_bool else value

    def __set__(self, obj, value):
        if self.setter is None:
            raise AttributeError(f"{self.name} is read only")
        number = _stored_value(self.name, self.ctype, value)
        ctype = _u8 if self.ctype is ctypes.c_bool else self.ctype
        _call(self.setter, _u8, *self._args(obj), number, argtypes=self._argtypes(obj) + [ctype])


class _Block:
    """A fixed-size byte block copied through the library's block accessors."""

    def __init__(self, field, size):
        self.field, self.size = field, size

    def __get__(self, obj, owner=None):
        if obj is None:
            return self
        data = (ctypes.c_uint8 * self.size)()
        pointer = ctypes.cast(data, ctypes.POINTER(ctypes.c_uint8))
        _call("getZQ_" + self.field, None, *obj._block_args(ctypes.byref(pointer), self.size),
              argtypes=obj._block_argtypes())
        return bytes(data)

    def __set__(self, obj, value: bytes):
        value = bytes(value)
        if len(value) > self.size:
            raise ValueError(f"{self.field} holds {self.size} bytes, not {len(value)}")
        data = (ctypes.c_uint8 * self.size)(*value)
        pointer = ctypes.cast(data, ctypes.POINTER(ctypes.c_uint8))
        _call("setZQ_" + self.field, None, *obj._block_args(ctypes.byref(pointer), len(value)),
              argtypes=obj._block_argtypes())


_BOOL = ctypes.c_bool


class Machine:
    """One record of the model: the generator (-1), the reader (0) or a machine 1..35."""

    def __init__(self, number: int):
        self.number = _machine_number(number)

    def _block_args(self, buffer, count):
        return (self.number, buffer, 0, 0, count)

    def _block_argtypes(self):
        return [_i8, _buffer_ref, _u8, _u8, _u8]

    def update(self, field: str, value) -> bool:
        """Sets a value and tells whether the model stored it (False: it was already there)."""
        scalar = type(self).__dict__.get(field)
        if not isinstance(scalar, _Scalar) or scalar.setter is None:
            raise AttributeError(f"{field} is no settable value of a machine")
        number = _stored_value(field, scalar.ctype, value)
        ctype = _u8 if scalar.ctype is _BOOL else scalar.ctype
        return bool(_call(scalar.setter, _u8, self.number, number, argtypes=[_i8, ctype]))

    tally = _Scalar("McnTally", _u8)
    status1 = _Scalar("McnStatus1", _u8)
    status2 = _Scalar("McnStatus2", _u8)
    status3 = _Scalar("McnStatus3", _u8)
    status4 = _Scalar("McnStatus4", _u8)
    position = _Scalar("McnPosition", _i32)
    offset = _Scalar("McnOffset", _i32)
    sub_frame_offset = _Scalar("McnSubFrameOffset", _u8)
    sync_point = _Scalar("McnSyncPoint", _i32)
    rec_in_point = _Scalar("McnRecInPoint", _i32)
    rec_out_point = _Scalar("McnRecOutPoint", _i32)
    sync_error = _Scalar("McnSyncError", _u8)
    sony_id = _Scalar("McnSonyID", _u16)
    record_tracks = _Scalar("McnRecordTracks", _u8)
    is_chasing = _Scalar("McnIsChasing", _BOOL)
    is_record_enabled = _Scalar("McnIsRecordEnabled", _BOOL)
    data_ok = _Scalar("McnDataOK", _BOOL, writable=False)
    standard = _Scalar("McnStandard", _u8, writable=False)
    in_play = _Scalar("McnInPlay", _BOOL, writable=False)
    is_slow = _Scalar("McnIsSlow", _BOOL, writable=False)
    is_locked = _Scalar("McnIsLocked", _BOOL, writable=False)
    is_locating = _Scalar("McnIsLocating", _BOOL, writable=False)
    in_record = _Scalar("McnInRecord", _BOOL, writable=False)
    is_armed = _Scalar("McnIsArmed", _BOOL, writable=False)
    no_comms = _Scalar("McnNoComms", _BOOL, writable=False)
    tape_status = _Scalar("McnTapeStatus", _u8, writable=False)
    z_frame = _Scalar("McnZFrame", _BOOL, writable=False)
    position_hmsf = _Scalar("McnPositionHMSF", _u32, writable=False)
    in_locked_play = _Scalar("McnInLockedPlay", _BOOL, writable=False)
    record_state = _Scalar("McnRecordState", _u8, writable=False)
    is_in_system = _Scalar("McnIsInSystem", _BOOL, writable=False)

    track_arming = _Block("McnTrackArmingP", 15)
    track_record = _Block("McnTrackRecordP", 15)
    iface_data = _Block("McnIFaceData", 128)

    def set_data_ok(self) -> bool:
        """Sets DataOK; True when it was not set before."""
        return bool(_call("setZQ_McnDataOK", _u8, self.number, argtypes=[_i8]))

    @property
    def id_name(self) -> str:
        out = _text()
        _call("getZQ_McnIDName", None, self.number, out, argtypes=[_i8, ctypes.c_void_p])
        return _bytes_of_text(out).decode("latin-1")

    @id_name.setter
    def id_name(self, name: str):
        _call("setZQ_McnIDName", _u8, self.number, _length_prefixed(name.encode("latin-1")),
              argtypes=[_i8, ctypes.c_void_p])

    @property
    def alias(self) -> str:
        """The alias when it has 2 characters or more, else the ID name."""
        out = ctypes.create_string_buffer(8)
        _call("getZQ_McnIDNamePChar", None, self.number, out, argtypes=[_i8, ctypes.c_char_p])
        return out.value.decode("latin-1")

    @alias.setter
    def alias(self, alias: str):
        _call("setZQ_McnAlias", _u8, self.number, alias.encode("latin-1"),
              argtypes=[_i8, ctypes.c_char_p])

    @property
    def display_name(self) -> str:
        """"Generator", "Reader", or the machine's letter and ID name ("A: DA88")."""
        out = _text()
        _call("getZQ_C_McnName", None, self.number, out, argtypes=[_i8, ctypes.c_void_p])
        return _bytes_of_text(out).decode("latin-1")


class _System:
    def _block_args(self, buffer, count):
        return (buffer, 0, 0, count)

    def _block_argtypes(self):
        return [_buffer_ref, _u8, _u8, _u8]


class Model(_System):
    """The shared model of this process. Every Model() of one process is the same block."""

    def __init__(self):
        _lib()

    @staticmethod
    def machine(number: int) -> Machine:
        return Machine(number)

    master_position = _Scalar("MasterPosition", _i32)
    z_frame = _Scalar("ZFrame", _BOOL, writable=False)
    master = _Scalar("Master", _i8)
    selected_mcn = _Scalar("SelectedMcn", _i8)
    error = _Scalar("Error", _u8)
    system_status = _Scalar("SystemStatus", _u8)
    record_bank = _Scalar("RecordBank", _u8)
    edit_mode = _Scalar("Editmode", _u8)
    wind_max = _Scalar("WindMax", _u8, setter="setZQ_WindMax1")
    macro_flag1 = _Scalar("macroflag1", _u8, writable=False)
    macro_flag2 = _Scalar("macroflag2", _u8, writable=False)
    v_major = _Scalar("VMajor", _u8)
    v_minor = _Scalar("VMinor", _u8)
    system_type = _Scalar("SystemType", _u8)
    max_machine = _Scalar("MaxMachine", _i8)
    unit_data_size = _Scalar("UnitDataSize", _u8)
    iface_data_size = _Scalar("IFaceDataSize", _u8)
    logical_data_size = _Scalar("LogicalDataSize", _u8)
    macro_data_size = _Scalar("MacroDataSize", _u8)
    rdy_key_length = _Scalar("RdyKeyLength", _u8)
    system_rdy_length = _Scalar("SystemRdyLength", _u8)
    ready_keys = _Scalar("ReadyKeys", _u8, writable=False)
    system_locked = _Scalar("SystemLocked", _BOOL, writable=False)
    system_in_play = _Scalar("SystemInPlay", _BOOL, writable=False)
    system_in_locked_play = _Scalar("SystemInLockedPlay", _BOOL, writable=False)
    system_in_record = _Scalar("SystemInRecord", _BOOL, writable=False)
    system_is_locating = _Scalar("SystemIsLocating", _BOOL, writable=False)
    system_local = _Scalar("SystemLocal", _BOOL, writable=False)

    unit_data = _Block("UnitData", 128)
    logical_ready = _Block("LogicalReady", 12)
    logical_record = _Block("LogicalRecord", 12)
    track_map = _Block("TrackMap", 192)

    def set_macro_flags(self, wind_max: int, flag1: int, flag2: int) -> None:
        _call("setZQ_WindMax", None, wind_max, flag1, flag2, argtypes=[_u8, _u8, _u8])

    @property
    def error_text(self) -> str:
        """The library's text of the current error code."""
        out = _text()
        _call("getZQ_ErrorString", None, out, argtypes=[ctypes.c_void_p])
        return _bytes_of_text(out).decode("latin-1")

    def check_error(self) -> None:
        """Raises ModelError with the library's text when the model's error code is not 0."""
        code = self.error
        if code != 0:
            error = ModelError(self.error_text)
            error.code = code
            raise error

    def take_offset_change(self) -> bool:
        """Whether any machine's offset changed since the last call (the flag is cleared)."""
        return bool(_call("getZQ_OffsetChange", _u8, argtypes=[]))

    def changes(self) -> Iterator[Change]:
        """Hands out every pending change flag once, then stops. A poll that found nothing may
        have skipped the system flags, so the iteration ends after two empty polls in a row."""
        empty = 0
        while empty < 2:
            code = _call("getZQ_LastChange", _u8, argtypes=[])
            if code == 0:
                empty += 1
                continue
            empty = 0
            yield Change.from_code(code)

    def parse_sony(self, message: bytes, machine: int) -> bytes:
        """Handles one Sony 9-pin message for `machine`; returns the reply with its checksum."""
        message = bytes(message)
        if not 2 <= len(message) <= 18:
            raise ValueError("a Sony message has CMD-1, CMD-2 and up to 16 more bytes")
        # The library reads the data bytes CMD-1 announces; missing ones are zeros, not garbage.
        request = (ctypes.c_uint8 * 18)(*message)
        reply = (ctypes.c_uint8 * 18)()
        _call("ZQ_ParseSony", None, request, reply, _machine_number(machine),
              argtypes=[ctypes.c_void_p, ctypes.c_void_p, _i8])
        return bytes(reply[:(reply[0] & 15) + 3])

    def save(self, path) -> None:
        """Saves the whole image to `path`; OSError with the system's reason on failure."""
        name = os.fsencode(path)
        if not _call("savemodel", _u8, _length_prefixed(name), argtypes=[ctypes.c_void_p]):
            error = ctypes.get_errno()
            raise OSError(error, os.strerror(error), os.fsdecode(name))

    def load(self, path) -> None:
        """Replaces the whole image with the one saved in `path`."""
        name = os.fsencode(path)
        if not _call("loadmodel", _u8, _length_prefixed(name), argtypes=[ctypes.c_void_p]):
            raise ModelError(f"cannot load {os.fsdecode(name)}: missing, unreadable or not a "
                             f"model image of 16316 bytes")

    def reset_stop_counter(self) -> None:
        _call("ResetStopCounter", None, argtypes=[])

    def inc_stop_counter(self) -> bool:
        """Counts one stop; True exactly when the count reaches 100."""
        return bool(_call("IncStopCounter", _u8, argtypes=[]))
