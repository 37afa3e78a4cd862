"""Prints, as a JSON list, the status the ls11 module gives each file named
on standard input (one path a line): the first failure of opening it and
reading its entries in order, as unls11 converts it, or ls11.OK."""
import json
import sys

import ls11


def status(path: str) -> int:
    try:
        with ls11.open(path) as archive:
            for entry in archive:
                archive.read(entry.index)
    except ls11.Error as error:
        return error.status
    return ls11.OK


print(json.dumps([status(line) for line in sys.stdin.read().splitlines()]))
