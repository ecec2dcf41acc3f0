#!/usr/bin/python3
"""Parses one saved mail with Python's email package and prints what a test
needs to know about it as JSON: headers, the text, and each attachment's
file name, disposition, size and SHA-256 of the decoded bytes."""
import email
import hashlib
import json
import sys


def main():
    with open(sys.argv[1], "rb") as f:
        raw = f.read()
    message = email.message_from_bytes(raw)
    result = {
        "from": message.get("From"),
        "to": message.get("To"),
        "cc": message.get("CC"),
        "subject": message.get("Subject"),
        "date": message.get("Date"),
        "message_id": message.get("Message-ID"),
        "multipart": message.is_multipart(),
        "prelude_count": raw.count(b"MIME-Version: 1.0"),
        "parts": [],
    }
    if message.is_multipart():
        for part in message.walk():
            if part.is_multipart():
                continue
            if part.get_content_type() == "text/plain" and part.get_filename() is None:
                result["text"] = part.get_payload(decode=True).decode("latin-1")
                continue
            payload = part.get_payload(decode=True) or b""
            result["parts"].append({
                "filename": part.get_filename(),
                "disposition": part.get_content_disposition(),
                "size": len(payload),
                "sha256": hashlib.sha256(payload).hexdigest(),
            })
    else:
        result["text"] = message.get_payload(decode=True).decode("latin-1")
    json.dump(result, sys.stdout)


if __name__ == "__main__":
    main()
