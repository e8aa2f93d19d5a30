#!/usr/bin/env python3
"""Records what tavo-nesim sends a client into the seed corpus of the decoder's
fuzz target (tests/plugins/corpus/).

    python3 tests/plugins/record_corpus.py build/tools/tavo-nesim/tavo-nesim

The simulator runs the demo's scenario on free loopback ports; each session's
requests are followed by PING, and its answers are taken up to that PONG. A
corpus file is one byte for the harness (data[0]: how the stream is cut, and
whether each piece is a datagram) followed by the bytes as received.
"""

import os
import socket
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DEMO = os.path.join(ROOT, "examples", "demo")
CORPUS = os.path.join(ROOT, "tests", "plugins", "corpus")


def start(binary, workdir, *extra):
    port_file = os.path.join(workdir, "ports")
    if os.path.exists(port_file):
        os.remove(port_file)
    process = subprocess.Popen(
        [binary, "--classes=" + os.path.join(DEMO, "xml_classes"),
         "--scenario=" + os.path.join(DEMO, "scenario.txt"), "--port=0", "--udp-port=0",
         "--port-file=" + port_file, *extra],
        stdout=subprocess.DEVNULL)
    for _ in range(100):
        if os.path.exists(port_file) and os.path.getsize(port_file) > 0:
            with open(port_file) as f:
                tcp, udp = (int(w) for w in f.read().split())
            return process, tcp, udp
        time.sleep(0.1)
    process.kill()
    sys.exit("record_corpus: the simulator did not start")


def tcp_session(port, *requests):
    """The answers to the requests, up to the PONG of a final PING."""
    with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
        s.sendall("".join(r + "\n" for r in requests + ("PING",)).encode())
        received = b""
        while not received.endswith(b"PONG\n"):
            chunk = s.recv(65536)
            if not chunk:
                break
            received += chunk
    return received


def udp_session(port, *datagrams):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.settimeout(5)
        received = b""
        for datagram in datagrams + ("PING",):
            s.sendto((datagram + "\n").encode(), ("127.0.0.1", port))
        while not received.endswith(b"PONG\n"):
            received += s.recv(65536)
    return received


def codes(listing):
    """Device code -> {parameter name: code}, from a LIST answer."""
    result = {}
    for line in listing.decode().splitlines():
        words = line.split()
        if words[0] == "PRM":
            result.setdefault(words[1], {})[words[2]] = words[3]
    return result


def write(name, first, stream):
    with open(os.path.join(CORPUS, name), "wb") as f:
        f.write(bytes([first]) + stream)
    print("%s: %d bytes" % (name, len(stream) + 1))


def main():
    binary = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        ROOT, "build", "tools", "tavo-nesim", "tavo-nesim")
    os.makedirs(CORPUS, exist_ok=True)
    with tempfile.TemporaryDirectory() as workdir:
        simulator, tcp, udp = start(binary, workdir)
        try:
            listing = tcp_session(tcp, "HELLO 1 -", "LIST")
            devices = codes(listing)
            reads = tuple("READ %s %s" % (dev, ",".join(prms.values()))
                          for dev, prms in sorted(devices.items()))
            # data[0] 0x3f: pieces of 64 bytes; 0x00: byte by byte.
            write("tcp-list-read", 0x3F, tcp_session(tcp, "HELLO 1 -", "LIST", *reads))
            write("tcp-read-bytewise", 0x00, tcp_session(tcp, *reads))
            # Written values read back, and a device created and destroyed
            # through the shelf controller (code 50): lines sent unasked.
            port, control = devices["1"], devices["50"]
            write("tcp-write-control", 0x10,
                  tcp_session(tcp, "WRITE 1 %s s 44656d6f" % port["label"],
                              "WRITE 1 %s u 1" % port["loopback"],
                              "WRITE 50 %s u 7" % control["create"], "READ 107 0,1,2",
                              "WRITE 50 %s u 7" % control["destroy"]))
            write("tcp-refusals", 0x05,
                  tcp_session(tcp, "READ 1 999", "READ 99 0", "WRITE 99 0 u 1", "BOGUS"))
            # 0xc1: datagrams of 97 bytes.
            write("udp-list-read", 0xC1, udp_session(udp, "LIST", *reads))
        finally:
            simulator.kill()
            simulator.wait()
        simulator, tcp, udp = start(binary, workdir, "--password=secret")
        try:
            write("tcp-wrong-password", 0x20, tcp_session(tcp, "HELLO 1 77726f6e67", "LIST"))
        finally:
            simulator.kill()
            simulator.wait()


if __name__ == "__main__":
    main()
