"""The headless program and the peers around it, each started by a test and ended with it."""
import os
import signal
import socket
import subprocess
import time

import pytest

PROGRAM = os.environ.get("SELKIETEST", "selkietest")


def framed(*body):
    return bytes(list(body) + [sum(body) & 0xFF])


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(condition, timeout=5.0):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if condition():
            return True
        time.sleep(0.02)
    return condition()


def connect(port, timeout=5.0):
    """A socket to the loopback `port`, retried while the program starts listening."""
    end = time.monotonic() + timeout
    while True:
        try:
            s = socket.create_connection(("127.0.0.1", port), timeout=2)
            s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            return s
        except ConnectionRefusedError:
            if time.monotonic() > end:
                raise
            time.sleep(0.05)


def read_exactly(sock, count, timeout=2.0):
    sock.settimeout(timeout)
    data = b""
    try:
        while len(data) < count:
            chunk = sock.recv(count - len(data))
            if not chunk:
                break
            data += chunk
    except socket.timeout:
        pass
    return data


class Process:
    """A child with its output in files under the test's folder."""

    def __init__(self, folder, name, args):
        self.out_path = folder / f"{name}.out"
        self.err_path = folder / f"{name}.err"
        with open(self.out_path, "w") as out, open(self.err_path, "w") as err:
            self.child = subprocess.Popen(args, stdout=out, stderr=err)

    def output(self):
        return self.out_path.read_text()

    def errors(self):
        return self.err_path.read_text()

    def stop(self):
        if self.child.poll() is None:
            self.child.send_signal(signal.SIGTERM)
            try:
                self.child.wait(5)
            except subprocess.TimeoutExpired:
                self.child.kill()
                self.child.wait()
        return self.child.returncode


@pytest.fixture
def start(tmp_path):
    """start(name, args) runs a child; every one is ended when the test ends."""
    children = []

    def run(name, args):
        child = Process(tmp_path, name, args)
        children.append(child)
        return child

    yield run
    for child in children:
        child.stop()


@pytest.fixture
def selkietest(start):
    """selkietest(name, *args): the headless program."""
    return lambda name, *args: start(name, [PROGRAM, "--headless", *args])
