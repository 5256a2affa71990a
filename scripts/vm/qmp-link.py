#!/usr/bin/env python3
"""Pulls an emulated NIC's cable and plugs it back while the VM runs, when
the guest asks: the guest writes SYNC/pull-NETDEV, this sets the link down
(QMP set_link) and answers SYNC/pulled-NETDEV; the guest writes
SYNC/plug-NETDEV, this sets it up and answers SYNC/plugged-NETDEV. Ends with
QEMU. Usage: qmp-link.py QMP_SOCKET SYNC_DIR"""
import json, os, socket, sys, time

sock_path, sync = sys.argv[1:3]
for _ in range(600):
    if os.path.exists(sock_path):
        break
    time.sleep(0.1)
try:
    s = socket.socket(socket.AF_UNIX)
    s.connect(sock_path)
except OSError as e:
    sys.exit(f"qmp: cannot connect: {e}")
f = s.makefile('rw')

def command(execute, **arguments):
    f.write(json.dumps({"execute": execute, "arguments": arguments}) + "\n")
    f.flush()
    while True:
        line = f.readline()
        if not line:
            raise EOFError
        reply = json.loads(line)
        if "return" in reply or "error" in reply:
            return reply

try:
    json.loads(f.readline())  # greeting
    command("qmp_capabilities")
    while True:
        for name in sorted(os.listdir(sync)):
            for ask, answer, up in (("pull-", "pulled-", False), ("plug-", "plugged-", True)):
                if name.startswith(ask):
                    netdev = name[len(ask):]
                    reply = command("set_link", name=netdev, up=up)
                    os.remove(os.path.join(sync, name))
                    with open(os.path.join(sync, answer + netdev), "w") as done:
                        done.write(json.dumps(reply))
                    print(f"qmp: link {netdev} {'up' if up else 'down'}: {reply}", flush=True)
        time.sleep(0.1)
except (EOFError, OSError, ValueError):
    pass  # QEMU ended
