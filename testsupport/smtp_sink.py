#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Offerwatch developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Loopback SMTP server for tests: saves every message it accepts.

Each message becomes NNNN.eml (the DATA content, as received after
dot-unstuffing) and NNNN.json ({"mail_from": ..., "rcpt_tos": [...]}) in --dir.
The .json file is written last, so its presence means the message is complete.
The server stops on SIGTERM/SIGINT, when its parent process goes away, or
after --max-seconds.

With --cert and --key it speaks TLS: --tls starttls offers STARTTLS and
requires it before mail, --tls implicit wraps the connection from the start.
SMTP_SINK_LOGIN="name:password" in the environment makes a login required;
--no-plain leaves AUTH LOGIN as the only method offered. The .json file then
also tells whether the message came over TLS and which login method was used.
"""
import argparse
import asyncio
import json
import logging
import os
import signal
import ssl
import sys
import time
import warnings

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult


class SavingHandler:
    def __init__(self, directory):
        self.directory = directory
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        stem = os.path.join(self.directory, "%04d" % self.count)
        with open(stem + ".eml", "wb") as f:
            f.write(envelope.original_content or envelope.content)
        meta = {"mail_from": envelope.mail_from, "rcpt_tos": list(envelope.rcpt_tos),
                "tls": server.transport.get_extra_info("ssl_object") is not None,
                "auth": getattr(session, "auth_mechanism", None)}
        with open(stem + ".json.tmp", "w") as f:
            json.dump(meta, f)
        os.rename(stem + ".json.tmp", stem + ".json")
        return "250 OK message accepted"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--dir", required=True)
    parser.add_argument("--max-seconds", type=float, default=900)
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--tls", choices=("starttls", "implicit"))
    parser.add_argument("--no-plain", action="store_true")
    args = parser.parse_args()

    options = {}
    context = None
    if args.tls:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)
    if args.tls == "starttls":
        options.update(tls_context=context, require_starttls=True)
    login = os.environ.get("SMTP_SINK_LOGIN")
    if login:
        name, _, password = login.partition(":")

        def authenticator(server, session, envelope, mechanism, auth_data):
            ok = auth_data.login == name.encode() and auth_data.password == password.encode()
            if ok:
                session.auth_mechanism = mechanism
            return AuthResult(success=ok, handled=False)

        # aiosmtpd only counts STARTTLS as TLS; an implicit TLS connection is one too.
        logging.getLogger("mail.log").setLevel(logging.ERROR)
        warnings.simplefilter("ignore")
        options.update(auth_required=True, authenticator=authenticator,
                       auth_require_tls=args.tls != "implicit",
                       auth_exclude_mechanism=["PLAIN"] if args.no_plain else [])
    controller = Controller(SavingHandler(args.dir), hostname="127.0.0.1", port=args.port,
                            data_size_limit=256 * 1024 * 1024, ready_timeout=10,
                            ssl_context=context if args.tls == "implicit" else None, **options)
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
