#!/usr/bin/python3
"""A Modbus RTU master and slave on the far ends of two pty pairs, for the relay's timeline test.

pymodbus builds, frames (CRC) and decodes every message, and its data store answers them; the
master runs on file descriptor 3, the slave on 4: the pty masters, which have no path a serial
library could open. Each argument is one transaction: the master reads holding
registers and the slave answers after waiting that many milliseconds from the request's arrival.
Prints "request HEX" and "reply HEX" for each, then "done"; exits 1 on a reply that is late,
damaged or wrong.
"""
import os
import select
import sys
import threading
import time

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusSlaveContext
from pymodbus.factory import ClientDecoder, ServerDecoder
from pymodbus.framer.rtu_framer import ModbusRtuFramer
from pymodbus.register_read_message import ReadHoldingRegistersRequest

MASTER_FD, SLAVE_FD, UNIT = 3, 4, 17
_said = threading.Lock()


def say(*words):
    """One line, whole, whichever thread says it."""
    with _said:
        sys.stdout.write(" ".join(str(w) for w in words) + "\n")
        sys.stdout.flush()


def read_messages(fd, framer, on_message, until, stop=None):
    """Feeds what arrives on fd to framer until `until()` holds or `stop` is set."""
    while not until() and not (stop and stop.is_set()):
        ready, _, _ = select.select([fd], [], [], 0.1)
        if ready:
            framer.processIncomingPacket(os.read(fd, 512), on_message, unit=UNIT)


def main():
    delays = [int(a) for a in sys.argv[1:]]
    store = ModbusSlaveContext(hr=ModbusSequentialDataBlock(0, list(range(400))), zero_mode=True)
    slave_framer = ModbusRtuFramer(ServerDecoder())
    waits = list(delays)
    stop = threading.Event()

    def answer(request):
        time.sleep(waits.pop(0) / 1000)
        response = request.execute(store)
        response.unit_id = request.unit_id
        packet = slave_framer.buildPacket(response)
        say("reply", packet.hex())  # before the master can have it and send the next request
        os.write(SLAVE_FD, packet)

    slave = threading.Thread(target=read_messages, args=(SLAVE_FD, slave_framer, answer, lambda: False, stop))
    slave.start()
    master_framer = ModbusRtuFramer(ClientDecoder())
    ok = True
    try:
        for i, _ in enumerate(delays):
            count = 1 + i % 8
            request = ReadHoldingRegistersRequest(address=10 * i, count=count, unit=UNIT)
            packet = master_framer.buildPacket(request)
            say("request", packet.hex())
            os.write(MASTER_FD, packet)
            got = []
            deadline = time.monotonic() + 5
            read_messages(MASTER_FD, master_framer, got.append, lambda: got or time.monotonic() > deadline)
            if not got or getattr(got[0], "registers", None) != list(range(10 * i, 10 * i + count)):
                say("bad reply to transaction", i, got)
                ok = False
                break
    finally:
        stop.set()
        slave.join()
    say("done")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
