#!/usr/bin/python3
"""Loopback SMTP server for tests: saves every message it accepts.

Each message becomes NNNN.eml (the DATA content, as received after
dot-unstuffing) and NNNN.json ({"mail_from": ..., "rcpt_tos": [...]}) in --dir.
The .json file is written last, so its presence means the message is complete.
The server stops on SIGTERM/SIGINT, when its parent process goes away, or
after --max-seconds.
"""
import argparse
import asyncio
import json
import os
import signal
import sys
import time

from aiosmtpd.controller import Controller


class SavingHandler:
    def __init__(self, directory):
        self.directory = directory
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        stem = os.path.join(self.directory, "%04d" % self.count)
        with open(stem + ".eml", "wb") as f:
            f.write(envelope.original_content or envelope.content)
        meta = {"mail_from": envelope.mail_from, "rcpt_tos": list(envelope.rcpt_tos)}
        with open(stem + ".json.tmp", "w") as f:
            json.dump(meta, f)
        os.rename(stem + ".json.tmp", stem + ".json")
        return "250 OK message accepted"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--dir", required=True)
    parser.add_argument("--max-seconds", type=float, default=900)
    args = parser.parse_args()

    controller = Controller(SavingHandler(args.dir), hostname="127.0.0.1", port=args.port,
                            data_size_limit=256 * 1024 * 1024, ready_timeout=10)
    controller.start()
    stop = []
    signal.signal(signal.SIGTERM, lambda *_: stop.append(1))
    signal.signal(signal.SIGINT, lambda *_: stop.append(1))
    parent = os.getppid()
    deadline = time.monotonic() + args.max_seconds
    try:
        while not stop and os.getppid() == parent and time.monotonic() < deadline:
            time.sleep(0.1)
    finally:
        controller.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
