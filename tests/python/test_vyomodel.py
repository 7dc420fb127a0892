"""The model from Python: accessors of each kind, the change poll, the Sony front end, save and
load, and two processes on one block."""
import os
import pathlib
import subprocess
import sys

import pytest

import vyomodel


def with_checksum(*data):
    return bytes(data) + bytes([sum(data) & 0xFF])


def test_scalars_store_only_changes_and_decode_status(fresh):
    a = fresh.machine(1)
    a.position = 0
    assert a.update("position", 1500) is True
    assert a.update("position", 1500) is False
    assert a.position == 1500
    a.offset = -25
    assert a.offset == -25
    a.sony_id = 0x20E0
    assert a.sony_id == 0x20E0
    a.status2 = 0x47
    assert (a.tape_status, a.no_comms, a.in_play) == (7, True, False)
    a.is_chasing = True
    assert a.is_chasing and a.status3 & 0x08
    with pytest.raises(AttributeError):
        a.in_play = True


@pytest.mark.parametrize("field,bad,good", [
    ("tally", 300, 255), ("tally", -1, 0), ("position", 2**32 + 5, -2**31),
    ("position", 2**31, 2**31 - 1), ("sony_id", 70000, 0xFFFF), ("is_chasing", 256, 1),
    ("is_chasing", -1, 0)])
def test_out_of_range_values_are_refused_not_wrapped(fresh, field, bad, good):
    a = fresh.machine(1)
    setattr(a, field, good)
    with pytest.raises(ValueError, match=f"{field} {bad} is outside"):
        setattr(a, field, bad)
    with pytest.raises(ValueError):
        a.update(field, bad)
    assert getattr(a, field) == good
    with pytest.raises(ValueError):
        fresh.master = 128
    with pytest.raises(TypeError):
        a.tally = 2.5


def test_system_values_and_error_texts(fresh):
    fresh.master = -1
    assert fresh.master == -1
    fresh.rdy_key_length = 3
    assert fresh.rdy_key_length == 24
    fresh.error = 1
    assert fresh.error_text == "Not Record Enabled"
    fresh.error = 47
    assert fresh.error_text == "Unknown Error : 47"
    fresh.error = 3
    with pytest.raises(vyomodel.ModelError, match="^System Not Locked$") as raised:
        fresh.check_error()
    assert raised.value.code == 3
    fresh.error = 0
    fresh.check_error()


def test_names(fresh):
    a = fresh.machine(1)
    a.id_name = "DA88"
    assert a.display_name == "A: DA88"
    assert fresh.machine(-1).display_name == "Generator"
    a.id_name = "LONGNAME"
    assert a.id_name == "LONGNA", "names are cut to 6 characters"
    a.alias = "Ed"
    assert a.alias == "Ed"
    a.alias = "E"
    assert a.alias == "LONGNA", "an alias of one character gives way to the ID name"


def test_blocks(fresh):
    a = fresh.machine(2)
    a.track_arming = bytes(range(1, 16))
    assert a.track_arming == bytes(range(1, 16))
    a.track_record = b"\xff" * 15
    a.status1 = 0
    assert a.track_record == bytes(15), "no record bytes while not in record"
    fresh.logical_ready = b"\x01\x02"
    assert fresh.logical_ready[:2] == b"\x01\x02"
    with pytest.raises(ValueError):
        fresh.logical_ready = bytes(13)
    with pytest.raises(ValueError):
        fresh.machine(36)


def test_changes_are_handed_out_once(fresh):
    fresh.master = 0
    fresh.machine(2).tally = 0
    list(fresh.changes())
    fresh.master = 1
    fresh.machine(2).tally = 9
    changes = list(fresh.changes())
    assert sorted(change.code for change in changes) == [25, 248]
    assert vyomodel.Change(25, 2, 1) in changes
    assert vyomodel.Change(248, None, 0) in changes
    assert list(fresh.changes()) == []


def test_parse_sony(fresh):
    a = fresh.machine(1)
    assert fresh.parse_sony(b"\x20\x01", 2) == with_checksum(0x10, 0x01)
    assert fresh.parse_sony(b"\x61\x20\x0f", 1) == with_checksum(
        0x7F, 0x20, 0x00, 0xA0, 0x82, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0, 0, 0, 0, 0, 0)
    assert fresh.parse_sony(b"\x61\x20\x21", 1) == with_checksum(0x71, 0x20, 0x82)
    assert fresh.parse_sony(b"\x61\x0c\x10", 1) == bytes([0x70, 0x0D, 0x7D])
    a.sony_id = 0x20E0
    assert fresh.parse_sony(b"\x00\x11", 1) == with_checksum(0x12, 0x11, 0x20, 0xE0)
    assert fresh.parse_sony(b"\x80\x00", 1) == with_checksum(0x11, 0x12, 0x01)
    with pytest.raises(ValueError):
        fresh.parse_sony(b"\x20", 1)


def test_save_and_load_round_trip(fresh, tmp_path):
    a = fresh.machine(3)
    a.position = 4242
    fresh.track_map = bytes(range(192))
    saved = tmp_path / "session.model"
    fresh.save(saved)
    assert saved.stat().st_size == 16316
    a.position = 1
    fresh.track_map = bytes(192)
    fresh.load(saved)
    assert a.position == 4242
    assert fresh.track_map == bytes(range(192))

    short = tmp_path / "short.model"
    short.write_bytes(saved.read_bytes()[:-1])
    a.position = 7
    with pytest.raises(vyomodel.ModelError):
        fresh.load(short)
    assert a.position == 7, "a failed load leaves the model untouched"
    with pytest.raises(OSError):
        fresh.save(tmp_path / "no such folder" / "x.model")


def test_stop_counter(fresh):
    fresh.reset_stop_counter()
    results = [fresh.inc_stop_counter() for _ in range(101)]
    assert results.index(True) == 99 and results.count(True) == 1


def test_two_processes_see_one_model(fresh):
    fresh.machine(4).position = 100
    script = ("import vyomodel; m = vyomodel.Model(); a = m.machine(4); "
              "print(a.position); a.position = 200")
    other = subprocess.run([sys.executable, "-c", script], check=True, capture_output=True,
                           text=True, env=dict(os.environ))
    assert other.stdout.strip() == "100"
    assert fresh.machine(4).position == 200


def test_the_readme_example_runs_as_written(tmp_path):
    """The README's Python example on a fresh block prints the change its comment promises."""
    readme = (pathlib.Path(__file__).parents[2] / "README.md").read_text()
    example = readme.split("```python\n", 1)[1].split("```", 1)[0]
    block = f"/VyoModelTest_readme_{os.getpid()}"
    env = dict(os.environ, VYOMODEL_SHM_NAME=block)
    try:
        run = subprocess.run([sys.executable, "-c", example], env=env, cwd=tmp_path,
                             capture_output=True, text=True, timeout=60)
    finally:
        if os.path.exists("/dev/shm" + block):
            os.remove("/dev/shm" + block)
    assert run.returncode == 0, run.stderr
    promised = example.split("print(", 1)[1].split("# ", 1)[1].splitlines()[0]
    assert run.stdout.rstrip() == promised.rstrip()
