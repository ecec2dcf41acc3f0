#!/usr/bin/python3
"""Parses one saved mail with Python's email package and prints what a test
needs to know about it as JSON: headers, the text, and each attachment's file
name, disposition, size and SHA-256 of the decoded bytes. A mail the parser
finds defects in (a boundary missing, say) fails with their names."""
import email
import hashlib
import json
import sys

with open(sys.argv[1], "rb") as f:
    message = email.message_from_bytes(f.read())
result = {key: message.get(header) for key, header in
          (("to", "To"), ("cc", "CC"), ("subject", "Subject"), ("date", "Date"), ("message_id", "Message-ID"))}
result["parts"] = []
defects = []
for part in message.walk():
    defects += [type(defect).__name__ for defect in part.defects]
    if part.is_multipart():
        continue
    payload = part.get_payload(decode=True) or b""
    if part.get_content_type() == "text/plain" and part.get_filename() is None:
        result["text"] = payload.decode("latin-1")
    else:
        result["parts"].append({"filename": part.get_filename(), "disposition": part.get_content_disposition(),
                                "size": len(payload), "sha256": hashlib.sha256(payload).hexdigest()})
if defects:
    sys.exit("defects: " + ", ".join(defects))
json.dump(result, sys.stdout)
