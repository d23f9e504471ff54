"""Reads the small part of YAML that problem packages' metadata files use.

Block mappings and block sequences nested by indentation; plain, single-quoted
and double-quoted scalars; flow sequences and flow mappings of scalars
(`[a, b]`, `{en: Name}`); literal and folded block scalars (`|`, `>`);
comments. Every scalar stays a string (`2.5`, `true` and `~` too): the reader
of a key decides what it must hold. Anchors, aliases, tags, several documents,
keys that are not plain words, and a flow collection inside another are
refused with YAMLError naming the line, never guessed at.
"""

import re


class YAMLError(Exception):
    """Text outside the subset, or not YAML at all; the text names the line."""


_KEY = re.compile(r"([A-Za-z0-9_][A-Za-z0-9_.\-]*)[ \t]*:(?:[ \t]+(.*))?$")
_DOUBLE_ESCAPES = {"\\": "\\", '"': '"', "/": "/", "n": "\n", "t": "\t", "r": "\r", "0": "\0"}


def loads(text: str, name: str = "yaml"):
    """The document in `text`: a dict, a list, a string, or None when empty."""
    lines = []
    for number, line in enumerate(text.split("\n"), 1):
        line = line.rstrip("\r")
        stripped = line.strip()
        if line.startswith("\t") or (line.startswith(" ") and line.lstrip(" ").startswith("\t")):
            raise YAMLError(f"{name}:{number}: tab in the indentation")
        if number == 1 and stripped.startswith("%"):
            raise YAMLError(f"{name}:{number}: directives are not read")
        lines.append((number, len(line) - len(line.lstrip(" ")), line.strip()))
    reader = _Reader(lines, name)
    reader.skip_blank()
    if reader.at < len(lines) and lines[reader.at][2] == "---":
        reader.at += 1
    reader.skip_blank()
    if reader.at == len(lines):
        return None
    value = reader.node(lines[reader.at][1])
    reader.skip_blank()
    if reader.at < len(lines) and lines[reader.at][2] == "...":
        reader.at += 1
        reader.skip_blank()
    if reader.at < len(lines):
        number, _, content = lines[reader.at]
        what = "a second document" if content == "---" else f"unexpected {content!r}"
        raise YAMLError(f"{name}:{number}: {what}")
    return value


class _Reader:
    def __init__(self, lines, name):
        self.lines, self.name, self.at = lines, name, 0

    def error(self, number, text):
        return YAMLError(f"{self.name}:{number}: {text}")

    def skip_blank(self):
        while self.at < len(self.lines) and (not self.lines[self.at][2]
                                             or self.lines[self.at][2].startswith("#")):
            self.at += 1

    def node(self, indent):
        """The block node whose lines start at `indent`."""
        number, _, content = self.lines[self.at]
        if content == "-" or content.startswith("- "):
            return self.sequence(indent)
        if _KEY.match(content):
            return self.mapping(indent)
        self.at += 1
        return self.scalar(content, number, indent)

    def mapping(self, indent):
        result = {}
        while True:
            self.skip_blank()
            if self.at == len(self.lines) or self.lines[self.at][1] < indent:
                return result
            number, this_indent, content = self.lines[self.at]
            if this_indent != indent:
                raise self.error(number, "indentation does not match the lines above")
            match = _KEY.match(content)
            if not match:
                raise self.error(number, f"expected 'key: value', got {content!r}")
            key, rest = match.group(1), match.group(2)
            if key in result:
                raise self.error(number, f"key {key!r} given twice")
            self.at += 1
            result[key] = self.value_after(rest, number, indent, in_sequence=False)

    def sequence(self, indent):
        result = []
        while True:
            self.skip_blank()
            if self.at == len(self.lines) or self.lines[self.at][1] < indent:
                return result
            number, this_indent, content = self.lines[self.at]
            if this_indent != indent:
                raise self.error(number, "indentation does not match the lines above")
            if not (content == "-" or content.startswith("- ")):
                raise self.error(number, f"expected '- item', got {content!r}")
            rest = content[1:].strip()
            if _KEY.match(rest):
                raise self.error(number, "a mapping inside a sequence item is not read")
            self.at += 1
            result.append(self.value_after(rest or None, number, indent, in_sequence=True))

    def value_after(self, rest, number, indent, in_sequence):
        """The value of a key or item whose line held `rest` after the ':' or
        '-': on that line, or in the more indented lines below it."""
        if rest is not None and not rest.startswith("#"):
            if rest[0] in "|>":
                return self.block_scalar(rest, number, indent)
            return self.scalar(rest, number, indent)
        self.skip_blank()
        if self.at < len(self.lines):
            next_indent, content = self.lines[self.at][1], self.lines[self.at][2]
            if next_indent > indent:
                return self.node(next_indent)
            # A mapping's value may be a sequence at the key's own indentation.
            if (not in_sequence and next_indent == indent
                    and (content == "-" or content.startswith("- "))):
                return self.sequence(indent)
        return None

    def block_scalar(self, header, number, indent):
        if not re.fullmatch(r"[|>][+-]?(\s+#.*)?", header):
            raise self.error(number, f"block scalar header {header!r} is not read")
        texts = []
        while self.at < len(self.lines):
            _, this_indent, content = self.lines[self.at]
            if content and this_indent <= indent:
                break
            texts.append(content)
            self.at += 1
        while texts and not texts[-1]:
            texts.pop()
        if header[0] == "|":
            return "\n".join(texts) + "\n"
        return " ".join(t for t in texts if t) + "\n"

    def scalar(self, text, number, indent):
        """A scalar or flow collection written on one line (plain scalars may
        go on over more indented lines)."""
        if text[0] in "&*!":
            raise self.error(number, "anchors, aliases and tags are not read")
        if text[0] == "[":
            return self.flow(text, number, "[", "]")
        if text[0] == "{":
            return self.flow(text, number, "{", "}")
        value, rest = self.one_scalar(text, number, "")
        if rest.strip() and not rest.strip().startswith("#"):
            raise self.error(number, f"unexpected {rest.strip()!r} after a value")
        if text[0] not in "'\"":
            # A plain scalar continues on more indented lines that are no key.
            while self.at < len(self.lines):
                _, next_indent, content = self.lines[self.at]
                if not content or next_indent <= indent or content.startswith("#"):
                    break
                if _KEY.match(content):
                    raise self.error(self.lines[self.at][0], "a key indented under a value")
                value += " " + content.split(" #")[0].strip()
                self.at += 1
        return value

    def one_scalar(self, text, number, stops):
        """Reads one scalar at the start of `text`; returns it and the rest.
        A plain scalar ends at ' #' or at one of `stops`."""
        if text[0] == "'":
            value, i = [], 1
            while True:
                j = text.find("'", i)
                if j < 0:
                    raise self.error(number, "unterminated quoted string")
                value.append(text[i:j])
                if text[j + 1:j + 2] == "'":
                    value.append("'")
                    i = j + 2
                    continue
                return "".join(value), text[j + 1:]
        if text[0] == '"':
            value, i = [], 1
            while i < len(text):
                c = text[i]
                if c == '"':
                    return "".join(value), text[i + 1:]
                if c == "\\":
                    escape = text[i + 1:i + 2]
                    if escape not in _DOUBLE_ESCAPES:
                        raise self.error(number, f"escape \\{escape} is not read")
                    value.append(_DOUBLE_ESCAPES[escape])
                    i += 2
                    continue
                value.append(c)
                i += 1
            raise self.error(number, "unterminated quoted string")
        end = len(text)
        comment = text.find(" #")
        if comment >= 0:
            end = comment
        for stop in stops:
            at = text.find(stop, 0, end)
            if at >= 0:
                end = at
        value = text[:end].strip()
        if value[:1] in ("&", "*", "!", "[", "{"):
            raise self.error(number, f"{value!r}: anchors, aliases, tags and nested "
                                     f"collections are not read")
        return value, text[end:]

    def flow(self, text, number, opening, closing):
        rest = text[1:].lstrip()
        mapping = opening == "{"
        result = {} if mapping else []
        while True:
            if not rest:
                raise self.error(number, f"{opening} without {closing} on the same line")
            if rest[0] == closing:
                rest = rest[1:]
                break
            if mapping:
                match = re.match(r"([A-Za-z0-9_][A-Za-z0-9_.\-]*)\s*:\s*", rest)
                if not match:
                    raise self.error(number, f"expected 'key: value' in {text!r}")
                key, rest = match.group(1), rest[match.end():]
            value, rest = self.one_scalar(rest, number, "," + closing)
            rest = rest.lstrip()
            if mapping:
                if key in result:
                    raise self.error(number, f"key {key!r} given twice")
                result[key] = value
            else:
                result.append(value)
            if rest.startswith(","):
                rest = rest[1:].lstrip()
        if rest.strip() and not rest.strip().startswith("#"):
            raise self.error(number, f"unexpected {rest.strip()!r} after {closing}")
        return result
