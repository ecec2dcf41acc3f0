# SPDX-FileCopyrightText: 2026 The Offerwatch developers
# SPDX-License-Identifier: GPL-3.0-or-later
# An independent reading of an EDGAR Atom feed: one "COMPANY (FORM)" line per filing
# (per company in a search), each filing once, skipping entries that name no company.
import re
import sys
import xml.etree.ElementTree as ET

A = "{http://www.w3.org/2005/Atom}"
root = ET.parse(sys.argv[1]).getroot()
feed_company = " ".join((root.findtext(A + "company-info/" + A + "conformed-name") or "").split())
if not feed_company:
    m = re.match(r"^\s*(\S.*?)\s*\((?:CIK\s*)?\d{1,10}\)\s*$", root.findtext(A + "title") or "", re.S)
    feed_company = " ".join(m.group(1).split()) if m else ""
kept = {}
for entry in root.findall(A + "entry"):
    title = "".join(entry.find(A + "title").itertext()) if entry.find(A + "title") is not None else ""
    category = entry.find(A + "category")
    form = category.get("term").strip() if category is not None else ""
    accession = entry.findtext(".//" + A + "accession-number") or ""
    ident = entry.findtext(A + "id") or ""
    if not accession and "accession-number=" in ident:
        accession = ident.split("accession-number=")[-1]
    m = re.match(r"^\s*(\S.*?)\s+-\s+(.*\S)\s*\((\d{1,10})\)\s*\(([^()]*)\)\s*$", title, re.S)
    role = m.group(4).strip() if m else ""
    if m:
        company, cik = " ".join(m.group(2).split()), m.group(3)
    else:
        company = " ".join((entry.findtext(".//" + A + "company-info/" + A + "conformed-name") or "").split())
        cik = entry.findtext(".//" + A + "company-info/" + A + "cik") or ""
        if not company:
            company = feed_company
    if not company:
        continue
    key = accession.strip() or cik + "/" + form
    # A filing listed once per role counts once, under its filer where the feed names one.
    if key not in kept or (role == "Filer" and kept[key][1] != "Filer"):
        kept[key] = (company + (" (" + form + ")" if form else ""), role)
for line, _ in kept.values():
    print(line)
