"""The headless program's network ports against real peers: a raw TCP client on tcp-listen:,
pyserial's RFC 2217 client on rfc2217-listen:, ser2net in front of a second machine for
rfc2217://, a test listener for tcp:, and the faults (a peer that closes mid-message or floods, a
refused connection, a name that does not resolve, a port in use). A peer that never reads is
tested on the port itself (tests/serial): over the loopback a client that reads nothing soon
stops sending too, so it cannot make the machine answer a queue full."""
import os
import random
import shutil
import socket
import threading
import time

import pytest
import serial

from conftest import PROGRAM, connect, framed, free_port, read_exactly, wait_for

DEVICE_TYPE = framed(0x00, 0x11)
DEVICE_TYPE_REPLY = framed(0x12, 0x11, 0xF1, 0x1D)
# Requests whose replies do not move with time while the machine is stopped; the last one
# carries 0xFF in its data, which telnet must pass unchanged.
STILL_REQUESTS = [DEVICE_TYPE, framed(0x61, 0x20, 0x0A), framed(0x00, 0xB3),
                  framed(0x61, 0x0C, 0x01), framed(0x61, 0x0C, 0xFF)]


def reply_length(first_byte):
    return (first_byte & 0x0F) + 3


def request(sock, message, timeout=2.0):
    sock.sendall(message)
    head = read_exactly(sock, 1, timeout)
    if not head:
        return b""
    return head + read_exactly(sock, reply_length(head[0]) - 1, timeout)


def served(port):
    """A new raw client's reply to DEVICE TYPE, once the last client's leaving is noticed."""
    reply = b""

    def ask():
        nonlocal reply
        try:
            with connect(port) as client:
                reply = request(client, DEVICE_TYPE, 0.5)
        except ConnectionResetError:
            return False  # refused as a second client
        return reply == DEVICE_TYPE_REPLY

    wait_for(ask, 5.0)
    return reply


def test_raw_client_on_tcp_listen_one_at_a_time(selkietest):
    port = free_port()
    machine = selkietest("machine", "--port-a", f"tcp-listen:{port}", "--log")
    first = connect(port)
    assert request(first, DEVICE_TYPE) == DEVICE_TYPE_REPLY
    second = connect(port)
    second_port = second.getsockname()[1]
    assert read_exactly(second, 1, 3.0) == b"", "a second client is closed on"
    assert wait_for(lambda: "refused a client from 127.0.0.1:" in machine.errors())
    assert request(first, DEVICE_TYPE) == DEVICE_TYPE_REPLY, "the first one goes on"
    first.sendall(DEVICE_TYPE[:2])  # half a request, then gone
    first.close()
    assert served(port) == DEVICE_TYPE_REPLY, "nothing of the last client left"
    refused = f"refused a client from 127.0.0.1:{second_port}:"
    assert machine.errors().count(refused) == 1
    assert machine.child.poll() is None


def test_pyserial_rfc2217_client_gets_the_pty_replies_byte_for_byte(selkietest, tmp_path):
    port = free_port()
    link = str(tmp_path / "machine")
    selkietest("network", "--port-a", f"rfc2217-listen:127.0.0.1:{port}")
    selkietest("pty", "--port-a", f"pty:{link}")
    assert wait_for(lambda: os.path.exists(link))
    assert wait_for(lambda: connect(port).close() is None)
    remote = serial.serial_for_url(f"rfc2217://127.0.0.1:{port}", baudrate=38400,
                                   parity=serial.PARITY_ODD, timeout=2)
    local = serial.Serial(link, 38400, parity=serial.PARITY_ODD, timeout=2)
    for message in STILL_REQUESTS:
        remote.write(message)
        local.write(message)
        head = local.read(1)
        expected = head + local.read(reply_length(head[0]) - 1)
        assert remote.read(len(expected)) == expected, message.hex()
    # The machine raises DTR and RTS: the client sees DSR, CD and CTS.
    assert wait_for(lambda: remote.dsr and remote.cts and remote.cd)
    remote.dtr = False
    remote.rts = False
    remote.write(DEVICE_TYPE)
    assert remote.read(len(DEVICE_TYPE_REPLY)) == DEVICE_TYPE_REPLY
    remote.close()
    local.close()


@pytest.mark.skipif(shutil.which("ser2net") is None, reason="ser2net is not installed")
def test_controller_polls_a_machine_through_ser2net(selkietest, start, tmp_path):
    port = free_port()
    link = str(tmp_path / "machine")
    selkietest("machine", "--port-a", f"pty:{link}")
    assert wait_for(lambda: os.path.exists(link))
    config = tmp_path / "ser2net.yaml"
    config.write_text("%YAML 1.1\n---\nconnection: &machine\n"
                      f"  accepter: telnet(rfc2217),tcp,127.0.0.1,{port}\n"
                      f"  connector: serialdev,{os.path.realpath(link)},38400o81,local\n")
    start("ser2net", ["ser2net", "-n", "-d", "-c", str(config)])
    controller = selkietest("controller", "--port-b", f"rfc2217://127.0.0.1:{port}", "--log")
    assert wait_for(lambda: "B 00:00:00:00 DA-88" in controller.output(), 15.0), \
        controller.output() + controller.errors()
    time.sleep(4)  # long enough for a request ser2net leaves unanswered to be noted
    assert controller.errors().count("did not answer") <= 1, controller.errors()
    assert "was disconnected" not in controller.errors()


class Relay:
    """A test listener for a tcp: port that passes everything on to the machine at `target`."""

    def __init__(self, target):
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        self.target = target
        self.client = None

    def serve_one(self):
        self.client, _ = self.listener.accept()
        machine = connect(self.target)
        for a, b in ((self.client, machine), (machine, self.client)):
            threading.Thread(target=self._pass, args=(a, b), daemon=True).start()

    @staticmethod
    def _pass(source, sink):
        try:
            while chunk := source.recv(4096):
                sink.sendall(chunk)
        except OSError:
            pass
        for s in (source, sink):
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass


def test_tcp_port_b_reports_loss_and_return_once(selkietest):
    machine_port = free_port()
    selkietest("machine", "--port-a", f"tcp-listen:{machine_port}")
    connect(machine_port).close()
    relay = Relay(machine_port)
    controller = selkietest("controller", "--port-b", f"tcp:127.0.0.1:{relay.port}", "--log")
    relay.serve_one()
    assert wait_for(lambda: "DA-88" in controller.output(), 10.0), controller.errors()
    relay.client.shutdown(socket.SHUT_RDWR)
    assert wait_for(lambda: "lost the connection" in controller.errors())
    relay.serve_one()
    back = f"connected to 127.0.0.1:{relay.port} again"
    assert wait_for(lambda: back in controller.errors(), 10.0), controller.errors()
    errors = controller.errors()
    assert errors.count("lost the connection") == 1
    assert errors.count(f"connected to 127.0.0.1:{relay.port} again") == 1, errors


@pytest.mark.parametrize("target,message", [
    ("tcp:127.0.0.1:{closed}", "Connection refused"),
    ("rfc2217://no-such-host.invalid:2217", "cannot resolve no-such-host.invalid"),
])
def test_port_b_that_cannot_connect_is_noted_once_and_port_a_answers(
        selkietest, tmp_path, target, message):
    link = str(tmp_path / "machine")
    program = selkietest("both", "--port-a", f"pty:{link}",
                         "--port-b", target.format(closed=free_port()), "--log")
    assert wait_for(lambda: os.path.exists(link))
    editor = serial.Serial(link, 38400, parity=serial.PARITY_ODD, timeout=2)
    assert wait_for(lambda: message in program.errors(), 15.0), program.errors()
    deadline = time.monotonic() + 3.5  # several retries meanwhile
    while time.monotonic() < deadline:
        editor.write(DEVICE_TYPE)
        assert editor.read(len(DEVICE_TYPE_REPLY)) == DEVICE_TYPE_REPLY
    assert program.errors().count(message) == 1, program.errors()
    editor.close()


def test_listening_on_a_port_in_use_ends_the_run_with_the_reason(selkietest):
    with socket.create_server(("127.0.0.1", 0)) as taken:
        port = taken.getsockname()[1]
        program = selkietest("machine", "--port-a", f"rfc2217-listen:{port}")
        assert program.child.wait(10) != 0
        assert "Address already in use" in program.errors(), program.errors()


def test_flood_of_garbage_leaves_the_machine_answering(selkietest):
    port = free_port()
    machine = selkietest("machine", "--port-a", f"rfc2217-listen:{port}")
    flood = connect(port)
    garbage = random.Random(7).randbytes(1 << 20)
    flood.sendall(garbage)
    flood.close()
    replies = []

    def ask():
        try:
            with serial.serial_for_url(f"rfc2217://127.0.0.1:{port}", timeout=1) as client:
                client.write(DEVICE_TYPE)
                replies.append(client.read(len(DEVICE_TYPE_REPLY)))
        except (serial.SerialException, OSError):
            return False  # still busy with the flood: refused as a second client
        return replies[-1] == DEVICE_TYPE_REPLY

    assert wait_for(ask, 10.0), replies
    assert machine.child.poll() is None


def test_replay_plays_a_capture_over_rfc2217_and_waits_for_its_peer(selkietest, start, tmp_path):
    capture = tmp_path / "session.cap"
    first_port = free_port()
    recorded = selkietest("recorded", "--port-a", f"tcp-listen:{first_port}",
                          "--capture", str(capture))
    with connect(first_port) as editor:
        for message in STILL_REQUESTS:
            assert request(editor, message)
    assert recorded.stop() == 0
    second_port = free_port()
    selkietest("machine", "--port-a", f"rfc2217-listen:{second_port}")
    connect(second_port).close()  # listening; the replay waits for the port to be free again
    replay = start("replay", [PROGRAM, "--replay", str(capture),
                              "--port-b", f"rfc2217://127.0.0.1:{second_port}"])
    assert replay.child.wait(20) == 0, replay.output() + replay.errors()
    assert f"replay: {len(STILL_REQUESTS)} exchanges, 0 differ" in replay.output()
    closed = start("replay-closed", [PROGRAM, "--replay", str(capture),
                                     "--port-b", f"tcp:127.0.0.1:{free_port()}"])
    assert closed.child.wait(20) == 1
    assert "Connection refused" in closed.errors(), closed.errors()
