#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Offerwatch developers
# SPDX-License-Identifier: LGPL-2.1-or-later
"""Prints as JSON what Python's email package reads in one saved mail: address, date and ID headers as
written, the subject decoded, the text with its transfer encoding, and each attachment's name,
disposition, size and SHA-256. A mail with defects (a line over 998 octets, ...) fails with their names."""
import email
import email.policy
import hashlib
import json
import sys

raw = open(sys.argv[1], "rb").read()
message = email.message_from_bytes(raw, policy=email.policy.default)
# The address headers as written: the default policy would read "a;b;c" as one address.
written = email.message_from_bytes(raw)
result = {key: written.get(header) for key, header in
          (("to", "To"), ("cc", "CC"), ("date", "Date"), ("message_id", "Message-ID"))}
result.update(subject=message.get("Subject"), parts=[])
defects = ["line over 998 octets" for line in raw.split(b"\r\n") if len(line) > 998][:1]
for part in message.walk():
    defects += [type(defect).__name__ for defect in part.defects]
    if part.is_multipart():
        continue
    payload = part.get_payload(decode=True) or b""
    if part.get_content_type() == "text/plain" and part.get_filename() is None:
        result["text"] = payload.decode(part.get_content_charset() or "latin-1")
        result["encoding"] = part.get("Content-Transfer-Encoding", "")
    else:
        result["parts"].append({"filename": part.get_filename(), "disposition": part.get_content_disposition(),
                                "size": len(payload), "sha256": hashlib.sha256(payload).hexdigest()})
if defects:
    sys.exit("defects: " + ", ".join(defects))
json.dump(result, sys.stdout)
