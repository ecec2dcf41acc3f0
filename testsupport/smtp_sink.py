#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Offerwatch developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Loopback SMTP server for tests: saves every message it accepts in --dir as NNNN.eml (the DATA
content after dot-unstuffing), then prints its envelope, whether it came over TLS and the login
method as one JSON line. It says "ready" once serving and stops when its parent goes away.
--tls starttls offers and requires STARTTLS, --tls implicit wraps the connection from the start;
SMTP_SINK_LOGIN="name:password" requires a login, --no-plain offers AUTH LOGIN only, --no-8bitmime
leaves 8BITMIME out of its EHLO answer (and refuses 8-bit data, as such a server may)."""
import argparse
import json
import logging
import os
import ssl
import time
import warnings

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult


class SavingHandler:
    count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        path = os.path.join(args.dir, "%04d.eml" % self.count)
        with open(path, "wb") as f:
            f.write(envelope.original_content or envelope.content)
        print(json.dumps({"path": path, "mail_from": envelope.mail_from, "rcpt_tos": list(envelope.rcpt_tos),
                          "tls": server.transport.get_extra_info("ssl_object") is not None,
                          "auth": getattr(session, "auth_mechanism", None)}), flush=True)
        return "250 OK message accepted"


parser = argparse.ArgumentParser()
for option in ("--port", "--dir", "--cert", "--key", "--tls"):
    parser.add_argument(option)
parser.add_argument("--no-plain", action="store_true")
parser.add_argument("--no-8bitmime", action="store_true")
args = parser.parse_args()

# aiosmtpd offers 8BITMIME only when it does not decode the data to text.
options = {"decode_data": args.no_8bitmime}
context = None
if args.tls:
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(args.cert, args.key)
if args.tls == "starttls":
    options.update(tls_context=context, require_starttls=True)
if os.environ.get("SMTP_SINK_LOGIN"):
    name, _, password = os.environ["SMTP_SINK_LOGIN"].partition(":")

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = auth_data.login == name.encode() and auth_data.password == password.encode()
        if ok:
            session.auth_mechanism = mechanism
        return AuthResult(success=ok, handled=False)

    # aiosmtpd only counts STARTTLS as TLS; an implicit TLS connection is one too.
    logging.getLogger("mail.log").setLevel(logging.ERROR)
    warnings.simplefilter("ignore")
    options.update(auth_required=True, authenticator=authenticator, auth_require_tls=args.tls != "implicit",
                   auth_exclude_mechanism=["PLAIN"] if args.no_plain else [])
controller = Controller(SavingHandler(), hostname="127.0.0.1", port=int(args.port), data_size_limit=256 * 1024 * 1024,
                        ready_timeout=10, ssl_context=context if args.tls == "implicit" else None, **options)
controller.start()
print("ready", flush=True)
parent = os.getppid()
while os.getppid() == parent:
    time.sleep(0.1)
controller.stop()
