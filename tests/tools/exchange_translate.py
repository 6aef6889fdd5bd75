#!/usr/bin/python3
"""Plays the translator's tool on an XLIFF or PO file the exchange wrote.

    exchange_translate.py FILE [--change]

Reads FILE with translate-toolkit and prints its units as JSON (context, id, source,
target, state, fuzzy). With --change, every unit's target becomes a marker followed by its
source, and the file is written back through translate-toolkit.
"""
import json
import sys

from translate.storage import po, xliff

MARK = "\u05d0\u0416\u65e5 "
NS = "{urn:oasis:names:tc:xliff:document:1.2}"


def main():
    path = sys.argv[1]
    change = "--change" in sys.argv[2:]
    kind = xliff.xlifffile if path.endswith((".xlf", ".xliff")) else po.pofile
    with open(path, "rb") as f:
        store = kind.parsefile(f)
    units = []
    for unit in store.units:
        if unit.isheader():
            continue
        entry = {"source": unit.source, "target": unit.target or "", "fuzzy": bool(unit.isfuzzy())}
        if kind is xliff.xlifffile:
            element = unit.xmlelement
            entry["id"] = element.get("id")
            entry["context"] = element.getparent().getparent().get("original") + "." + element.get("resname")
            target = element.find(NS + "target")
            entry["state"] = target.get("state") if target is not None else None
        else:
            entry["context"] = unit.getcontext()
        units.append(entry)
        if change:
            unit.target = MARK + unit.source
    json.dump(units, sys.stdout, ensure_ascii=False)
    if change:
        with open(path, "wb") as f:
            f.write(bytes(store))


if __name__ == "__main__":
    main()
