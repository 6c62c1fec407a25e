"""Reads the files that `reg export` writes into {key: {value name: (type, data)}}.

Key names are kept as written; lookups go through `lower()` because the registry
ignores case. The default value is named "" here ("@" in the file).
"""
import re

_VALUE = re.compile(r'^(@|"(?:[^"\\]|\\.)*")=(.*)$', re.S)


def _unquote(text):
    # reg export escapes backslashes and quotes inside quoted names and strings.
    return re.sub(r'\\(.)', r'\1', text[1:-1])


def _logical_lines(text):
    # hex data wraps with a trailing backslash; join those lines back.
    pending = ""
    for raw in text.splitlines():
        line = pending + raw
        if line.endswith("\\") and not line.startswith("["):
            pending = line[:-1].strip() if pending else line[:-1]
            continue
        pending = ""
        yield line


def parse(text):
    keys = {}
    current = None
    for line in _logical_lines(text):
        if line.startswith("[") and line.endswith("]"):
            current = keys.setdefault(line[1:-1], {})
            continue
        match = _VALUE.match(line)
        if current is None or not match:
            continue
        name = "" if match.group(1) == "@" else _unquote(match.group(1))
        data = match.group(2)
        if data.startswith('"'):
            current[name] = ("REG_SZ", _unquote(data))
        else:
            kind, _, payload = data.partition(":")
            current[name] = (kind, payload.replace(" ", ""))
    return keys


def read(path):
    raw = open(path, "rb").read()
    if raw.startswith(b"\xff\xfe"):
        return parse(raw.decode("utf-16"))
    return parse(raw.decode("utf-8", errors="replace"))


class Change:
    """One difference between two snapshots: a key added or removed (name None), or a value
    added, removed or changed. Keys and names are in lower case."""

    def __init__(self, kind, key, name=None, old=None, new=None):
        self.kind, self.key, self.name, self.old, self.new = kind, key, name, old, new

    def __str__(self):
        if self.name is None:
            return f"{self.kind} [{self.key}]"
        shown = self.name or "@"
        if self.kind == "+":
            return f"+ [{self.key}] {shown} = {self.new}"
        if self.kind == "-":
            return f"- [{self.key}] {shown} = {self.old}"
        return f"~ [{self.key}] {shown}: {self.old} -> {self.new}"


def folded(keys):
    """The same data with key and value names in lower case, for comparisons."""
    return {key.lower(): {name.lower(): v for name, v in values.items()} for key, values in keys.items()}


def changes(before, after):
    """Every key and value added, removed or changed from one snapshot to the next."""
    a, b = folded(before), folded(after)
    out = []
    for key in sorted(set(a) | set(b)):
        if key not in a:
            out.append(Change("+", key))
        elif key not in b:
            out.append(Change("-", key))
        va, vb = a.get(key, {}), b.get(key, {})
        for name in sorted(set(va) | set(vb)):
            if name not in va:
                out.append(Change("+", key, name, new=vb[name]))
            elif name not in vb:
                out.append(Change("-", key, name, old=va[name]))
            elif va[name] != vb[name]:
                out.append(Change("~", key, name, va[name], vb[name]))
    return out
