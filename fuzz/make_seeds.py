#!/usr/bin/env python3
"""Writes the seed corpora under fuzz/corpus/<target>/ from the protocol's edge cases.

The targets read their choices with libFuzzer's FuzzedDataProvider: byte strings from the front
of the input, numbers and choices from the back. A Seed collects both and lays them out so.
Run it again after changing what a target reads: python3 fuzz/make_seeds.py
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def framed(*body):
    return list(body) + [sum(body) & 0xFF]


class Seed:
    def __init__(self):
        self.front, self.back = [], []

    def bytes(self, data):  # ConsumeBytes / strings
        self.front += list(data)
        return self

    def text(self, s):  # ConsumeRandomLengthString up to its end marker
        self.front += list(s.encode()) + [ord('\\'), ord('n')]
        return self

    def num(self, *values):  # one-byte ConsumeIntegral(InRange) / ConsumeBool, in order
        self.back += list(values)
        return self

    def int32(self, value):  # ConsumeIntegral<int32_t>: offset from INT32_MIN, most significant byte read first
        offset = (value + 2**31) & 0xFFFFFFFF
        self.back += [(offset >> shift) & 0xFF for shift in (24, 16, 8, 0)]
        return self

    def data(self):
        return bytes(self.front + self.back[::-1])


def write(target, name, data):
    folder = os.path.join(HERE, 'corpus', target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as out:
        out.write(data)


def framing():
    def events(*bursts):
        seed = Seed()
        for burst in bursts:
            seed.bytes(burst).num(len(burst), 3, 1, 1, 1)  # length, extractions, sense starts
        return seed.data()
    play = framed(0x20, 0x01)
    write('framing', 'play', events(play))
    write('framing', 'bad-checksum-then-play', events([0x20, 0x01, 0x22], play, play))
    write('framing', 'split', events([0x20], [0x01, 0x21]))
    write('framing', 'two-in-one', events(play + framed(0x61, 0x0C, 0x01)))
    long_message = framed(0x2F, 0x01, *range(15))
    write('framing', 'fifteen-data-bytes', events(long_message[:10], long_message[10:]))
    write('framing', 'burst-of-31', events(play, [0x55] * 31, play))
    write('framing', 'status-play', events(framed(0x7A, 0x20, 0x00, 0x81, 0x80, 0, 0x10, 0, 0, 0, 0, 0)))
    write('framing', 'time-drop-frame', events(framed(0x74, 0x04, 0x64, 0x59, 0x59, 0xA3)))


def devicetype():
    for name, flag, message in [('bvw75-pal', 0, [0x12, 0x11, 0x21, 0x25]),
                                ('da88-ntsc', 0, [0x12, 0x11, 0xF0, 0x1D]),
                                ('da88b-pal', 1, [0x13, 0x11, 0xF1, 0x1D, 0x02]),
                                ('mmr8-pal', 0, [0x14, 0x11, 0xF1, 0x1A, 0x00, 0xC1]),
                                ('group-c', 1, [0x12, 0x11, 0xC5, 0x10]),
                                ('fallback', 0, [0x12, 0x11, 0xD3, 0x77])]:
        write('devicetype', name, bytes([flag] + framed(*message)))


def vmachine():
    def requests(*messages, clicks=()):
        seed = Seed().num(0, 3, 0, 0)  # standard, machine, tracks, extended reply
        for tag in clicks:
            seed.num(1, 0, tag)  # a click on the transport keys
        for message in messages:
            seed.num(2, 1, 1, 1, len(message)).bytes(message)
        return seed.data()
    write('vmachine', 'device-type', requests(framed(0x00, 0x11), framed(0x00, 0xB3)))
    write('vmachine', 'time-and-status', requests(framed(0x61, 0x0C, 0x01), framed(0x61, 0x20, 0x0F)))
    write('vmachine', 'transport', requests(framed(0x20, 0x01), framed(0x21, 0x11, 0x40), framed(0x20, 0x00)))
    write('vmachine', 'marks-and-preset', requests(framed(0x40, 0x10), framed(0x40, 0x11),
                                                   framed(0x44, 0x30, 0x7F, 1, 2, 3), framed(0x61, 0x30, 0x04)))
    write('vmachine', 'clips', requests(framed(0x60, 0x81), framed(0x60, 0x82), framed(0x60, 0x83),
                                        framed(0x80, 0x01)))


def controller():
    seed = Seed()
    for _ in range(4):
        seed.num(0, 1)  # a tick with port B open
    seed.num(2, 1, 2, 0, 1, 2).num(0xF1, 0x1D)  # a framed 12 11 reply: DA-88
    write('controller', 'ticks-and-device', seed.data())
    write('controller', 'goto', Seed().num(1, 2, 1).text('01:02:03:04').num(0, 1).data())
    write('controller', 'raw-garbage', Seed().num(2, 0, 31).bytes(range(31)).num(2, 0, 3).bytes(framed(0x10, 0x01)).data())


def keypad():
    write('keypad', 'reset-1-2-ok', Seed().num(7, 6, 1, 6, 2, 11).data())
    write('keypad', 'refused-24h', Seed().num(2).text('24:00:00:00').num(11).data())
    write('keypad', 'paste-inc-neg', Seed().num(3).text('23:59:59:24').num(8, 10, 9, 11).data())


def timecode():
    def case(standard, text, sony=(0x24, 0x59, 0x59, 0x23), a=0, b=1):
        return Seed().num(standard).int32(a).int32(b).bytes(sony).bytes(text.encode()).data()
    write('timecode', 'last-frame-ebu', case(0, '23:59:59:24', a=-1))
    write('timecode', 'drop-frame-label', case(3, '00:01:00;00', sony=(0x00, 0x00, 0x01, 0x00), a=2589407))
    write('timecode', 'blanks-and-comma', case(1, ' 01:02:03,04 ', b=-2**31))
    write('timecode', 'out-of-range', case(2, '24:00:00:00', sony=(0x99, 0x99, 0x99, 0x99), a=2**31 - 1))


def model():
    def parse(machine, *message):
        seed = Seed().num(0, 1, machine + 1, message[0])
        return seed.num(*message[1:]).data()
    write('model', 'device-type', parse(1, 0x00, 0x11))
    write('model', 'status-sense', parse(2, 0x61, 0x20, 0x0F))
    write('model', 'time-sense', parse(-1, 0x61, 0x0C, 0x01))
    write('model', 'bad-machine', Seed().num(0, 0, 0x7F, 0x00, 0x11).data())
    write('model', 'arming', parse(3, 0xC1, 0x58, 0x09))


def loadmodel():
    write('loadmodel', 'zeros', bytes([0]))
    write('loadmodel', 'pattern', bytes([1, 2, 3, 0xFF]))
    write('loadmodel', 'short-file', bytes(100))


def settings():
    record = [7, 1, 2, 3] + [251, 0, 0, 0] + [252, 0, 0, 0] + [10, 0, 0, 0] + [20, 0, 0, 0] + \
             [16, 0, 0, 0] + [1, 1, 0, 1, 0x44, 0, 1, 0x99]
    write('settings', 'whole-record', Seed().num(32).bytes(record).data())
    write('settings', 'short-record', Seed().num(5).bytes(record[:5]).data())
    write('settings', 'no-file', Seed().num(0, 0).data())
    write('settings', 'with-requests', Seed().num(32).bytes(record).num(4).bytes(framed(0x20, 0x01)).data())


def options():
    for name, args in [('headless', ['selkietest', '--headless', '--port-a', 'pty:/tmp/a', '--log']),
                       ('tick-and-ids', ['selkietest', '--headless', '--port-b', 'COM252', '--tick', '40',
                                         '--machine', '16', '--standard', '3']),
                       ('out-of-range', ['selkietest', '--headless', '--port-a', 'COM1', '--tick', '0']),
                       ('toolkit', ['selkietest', '-platform', 'offscreen', '--demo']),
                       ('conflict', ['selkietest', '--demo', '--headless', '--port-a=COM1'])]:
        write('options', name, '\n'.join(args).encode())


def capture():
    text = ('# selkietest capture 1\n'
            '0.000000 A rx msg 61 0C 01 6E | CURRENT TIME SENSE LTC\n'
            '0.000412 A tx msg 74 04 00 00 00 01 79 | LTC TIME DATA 01:00:00:00\n'
            '# a comment\n\n'
            '1.250000 B rx bad 20 01 22 | PLAY [bad checksum]\n'
            '1.300000 B tx debris 05 FF | debris\n')
    write('capture', 'read-lines', b'\x00' + text.encode())
    write('capture', 'read-torn', b'\x00' + text.encode()[:-20])
    write('capture', 'read-bad-time', b'\x00' + text.replace('1.250000', '0..00000').encode())
    frames = Seed()
    for message in (framed(0x61, 0x0C, 0x01), framed(0x74, 0x04, 0, 0, 0, 1), [0x20, 0x01, 0x22]):
        frames.num(1, 0, 0, len(message)).bytes(message).num(0, 0, 1, 0, 0)
    write('capture', 'write-frames', b'\x01' + frames.data())


def replay():
    seed = Seed()
    for port, direction, message in ((1, 1, framed(0x61, 0x0C, 0x01)), (1, 0, framed(0x74, 0x04, 0, 0, 0, 1)),
                                     (1, 1, framed(0x20, 0x01)), (1, 0, framed(0x10, 0x01))):
        seed.num(port, direction, 0, 0, 0, 0, 0, 0, 0, 1, len(message) - 1).bytes(message)
    write('replay', 'two-exchanges', seed.data())


def bridge():
    def events(*steps):
        seed = Seed().num(0, 0, 0, 0)
        for side, burst in steps:
            seed.num(0, 1, side, len(burst)).bytes(burst)
        return seed.data()
    play, ack = framed(0x20, 0x01), framed(0x10, 0x01)
    write('bridge', 'play-ack', events((0, play), (1, ack)))
    write('bridge', 'split-request', events((0, play[:1]), (0, play[1:]), (1, ack)))
    write('bridge', 'debris-both-ways', events((0, [0xFF, 0x20]), (1, [0x55] * 70), (0, play)))


for make in (framing, devicetype, capture, replay, bridge, vmachine, controller, keypad, timecode, model, loadmodel, settings, options):
    make()
