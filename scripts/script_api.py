#!/usr/bin/env python3
"""Builds the script reference (docs/script-api.md) from the binding sources.

Reads the binding packages (src/script/bindings/*.pkg), the members that the glue registers by
hand (tolua_function, lua_register and tolua_constant in src/script/bindings/*_glue.cpp and in the
Lua host) with their signatures from src/script/bindings/glue_signatures.txt, and the messages from
src/script/bindings/messages.txt.

  script_api.py                      print the reference
  script_api.py --write FILE         write it to FILE
  script_api.py --check FILE         exit 1 when FILE differs from it, or a hand registration has
                                     no signature (or a signature nothing registers)
  script_api.py --cpp FILE           write the reference and its parts as a C++ source (kvqtool api)
  script_api.py --check-messages     exit 1 when a message name ("On...") in the engine's sources
                                     is not in messages.txt
"""

import argparse
import difflib
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BINDINGS = os.path.join("src", "script", "bindings")
HOST_SOURCES = [os.path.join("src", "script", "LuaHost.cpp")]
SIGNATURES = os.path.join(BINDINGS, "glue_signatures.txt")
BINDINGS_OPEN = os.path.join("src", "script", "Bindings.cpp")
MESSAGES = os.path.join(BINDINGS, "messages.txt")
REGENERATE = "python3 scripts/script_api.py --write docs/script-api.md"

OPERATORS = {"+": ".add", "-": ".sub", "*": ".mul", "/": ".div", "==": ".eq", "<": ".lt",
             "<=": ".le"}
OPERATOR_SIGNS = {v: k for k, v in OPERATORS.items()}
NUMBER_TYPES = {"int", "unsigned", "unsigned int", "long", "unsigned long", "short",
                "unsigned short", "char", "unsigned char", "signed char", "float", "double",
                "size_t", "int8_t", "uint8_t", "int16_t", "uint16_t", "int32_t", "uint32_t",
                "int64_t", "uint64_t", "lua_Number"}
LUA_TYPES = {"number", "string", "boolean", "table", "any", "nil", "function"}


def read(path):
    with open(os.path.join(ROOT, path), encoding="utf-8") as f:
        return f.read()


# ---- declarations ------------------------------------------------------------------------------

class Member:
    def __init__(self, name, kind, params=None, result=None, note="", source=""):
        self.name = name        # the name scripts use
        self.kind = kind        # method, static, property, read-only property, operator
        self.params = params or []  # [(lua type, name, default or None)]
        self.result = result    # lua type or None
        self.note = note
        self.source = source


class ClassInfo:
    def __init__(self, name, source):
        self.name = name
        self.base = None
        self.source = source
        self.members = []


def lua_type(ctype):
    t = ctype.strip()
    t = re.sub(r"\b(const|struct|class|tolua_readonly)\b", "", t).strip()
    t = re.sub(r"\s+", " ", t)
    if t in LUA_TYPES:
        return t
    pointer = t.endswith("*")
    base = t.rstrip("*& ").strip()
    if base in ("char", "signed char") and pointer:
        return "string"
    if base in ("std::string", "string"):
        return "string"
    if base == "bool":
        return "boolean"
    if base == "void":
        return "userdata" if pointer else None
    if base == "lua_Object":
        return "any"
    if base in NUMBER_TYPES:
        return "number"
    return base


def split_params(text):
    parts, depth, current, quote = [], 0, "", None
    for ch in text:
        if quote:
            current += ch
            if ch == quote:
                quote = None
            continue
        if ch in "\"'":
            quote = ch
        elif ch in "(<":
            depth += 1
        elif ch in ")>":
            depth -= 1
        elif ch == "," and depth == 0:
            parts.append(current)
            current = ""
            continue
        current += ch
    if current.strip():
        parts.append(current)
    return [p.strip() for p in parts if p.strip() and p.strip() != "void"]


def parse_param(text):
    default = None
    if "=" in text:
        text, default = text.split("=", 1)
        default = default.strip()
        if default == "NULL" or default == "nullptr":
            default = "nil"
    text = text.strip()
    m = re.match(r"^(.*?)([A-Za-z_]\w*)$", text)
    if m and m.group(1).strip() and m.group(1).strip() not in ("const", "unsigned"):
        ctype, name = m.group(1), m.group(2)
    else:
        ctype, name = text, ""
    if re.sub(r"[\s*]", "", ctype) == "lua_State":
        return None  # the state itself, not an argument
    return (lua_type(ctype), name, default)


def parse_declaration(decl, class_name):
    """One declaration of a package (without the ';') -> list of Members."""
    decl = re.sub(r"\s+", " ", decl).strip()
    if not decl or decl.startswith("#") or decl.startswith("friend "):
        return []
    if "(" not in decl:
        # A property: [tolua_readonly] [const] TYPE NAME [@ LUANAME]
        readonly = "tolua_readonly" in decl or decl.startswith("const ")
        m = re.match(r"^(.*?)([A-Za-z_]\w*)(?:\s*\[.*\])?(?:\s*@\s*([A-Za-z_]\w*))?$", decl)
        if not m:
            return []
        name = m.group(3) or m.group(2)
        kind = "read-only property" if readonly else "property"
        return [Member(name, kind, result=lua_type(m.group(1)))]
    head, rest = decl.split("(", 1)
    params_text = rest[:rest.rfind(")")]
    head = head.strip()
    words = head.split()
    static = "static" in words
    head = " ".join(w for w in words if w not in ("static", "tolua_outside", "virtual", "inline",
                                                   "extern"))
    params = [p for p in (parse_param(t) for t in split_params(params_text)) if p is not None]
    op = re.match(r"^(.*?)\boperator\s*(\S+)$", head)
    if op:
        lua_name = OPERATORS.get(op.group(2).strip())
        if lua_name is None:
            return []
        return [Member(lua_name, "operator", params, lua_type(op.group(1)))]
    rename = None
    if "@" in head:
        head, rename = [s.strip() for s in head.split("@", 1)]
    m = re.match(r"^(.*?)(~?[A-Za-z_]\w*)$", head)
    if not m:
        return []
    ctype, cname = m.group(1).strip(), m.group(2)
    if class_name and cname == class_name and not ctype:
        return [Member("new", "static", params, class_name),
                Member("new_local", "static", params, class_name)]
    if class_name and cname == "~" + class_name:
        return [Member("delete", "method", [], None)]
    kind = "static" if static else ("method" if class_name else "function")
    return [Member(rename or cname, kind, params, lua_type(ctype))]


def strip_package(text):
    text = re.sub(r"^\$\{.*?^\$\}", "", text, flags=re.S | re.M)
    text = re.sub(r"^\$<.*?^\$>", "", text, flags=re.S | re.M)
    text = re.sub(r"^\$.*$", "", text, flags=re.M)
    text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)
    return text


def parse_package(text, source, classes, functions, constants, keep_notes=False):
    """Parses package syntax; returns nothing, fills the three collections."""
    text = strip_package(text)
    current = None
    pending = ""
    in_enum = False
    for raw in text.split("\n"):
        note = ""
        line = raw
        if "//" in line:
            line, note = line.split("//", 1)
            note = note.strip() if keep_notes else ""
        line = line.strip()
        if not line:
            continue
        m = re.match(r"^#define\s+(\w+)\s+(\S+)", line)
        if m:
            constants.append((m.group(1), m.group(2), source))
            continue
        if re.match(r"^enum\b", line):
            in_enum = True
            line = line.split("{", 1)[1] if "{" in line else ""
        if in_enum:
            for entry in line.replace("}", "").replace(";", "").split(","):
                entry = entry.strip()
                if not entry:
                    continue
                value = None
                if "=" in entry:
                    entry, value = [s.strip() for s in entry.split("=", 1)]
                cname, _, lname = [s.strip() for s in entry.partition("@")]
                constants.append((lname or cname, value or cname, source))
            if "}" in line or raw.strip().startswith("}"):
                in_enum = False
            continue
        m = re.match(r"^(class|struct)\s+([A-Za-z_]\w*)\s*(?::\s*(?:public\s+)?([A-Za-z_]\w*))?", line)
        if m and current is None:
            current = classes.get(m.group(2))
            if current is None:
                current = ClassInfo(m.group(2), source)
                classes[current.name] = current
            if m.group(3):
                current.base = m.group(3)
            continue
        if line in ("{", "public:", "private:", "protected:"):
            continue
        if line.startswith("}"):
            current = None
            continue
        pending += " " + line
        if not pending.rstrip().endswith(";"):
            continue
        decl, pending = pending.strip().rstrip(";"), ""
        members = parse_declaration(decl, current.name if current else None)
        for member in members:
            member.note = note
            member.source = source
            if current is not None:
                current.members.append(member)
            else:
                functions.append(member)


# ---- hand registrations --------------------------------------------------------------------------

def hand_registrations(path):
    """[(module or None, kind, name, expression)] registered by hand in one source file."""
    text = read(path)
    names = dict(re.findall(r'constexpr\s+const\s+char\s*\*\s*(\w+)\s*=\s*"([^"]+)"', text))
    found = []
    stack = []
    for line in text.split("\n"):
        code = line.split("//", 1)[0]
        m = re.search(r"\btolua_beginmodule\s*\(\s*\w+\s*,\s*([^)]*)\)", code)
        if m:
            arg = m.group(1).strip()
            if arg in ("nullptr", "NULL", "0"):
                stack.append(None)
            else:
                stack.append(names.get(arg, arg.strip('"')))
            continue
        if re.search(r"\btolua_endmodule\s*\(", code):
            if stack:
                stack.pop()
            continue
        module = stack[-1] if stack else None
        for kind, pattern in (("function", r'\btolua_function\s*\(\s*\w+\s*,\s*"([^"]+)"\s*,\s*([^)]*)\)'),
                              ("function", r'\blua_register\s*\(\s*\w+\s*,\s*"([^"]+)"\s*,\s*([^)]*)\)'),
                              ("constant", r'\btolua_constant\s*\(\s*\w+\s*,\s*"([^"]+)"\s*,\s*([^)]*)\)')):
            for m in re.finditer(pattern, code):
                found.append((module, kind, m.group(1), m.group(2).strip()))
    return found


def constant_value(expression, headers):
    expression = expression.strip()
    if re.fullmatch(r"-?(0x[0-9a-fA-F]+|\d+)", expression):
        return str(int(expression, 0))
    ident = expression.split("::")[-1]
    for text in headers:
        m = re.search(r"\b" + re.escape(ident) + r"\s*=\s*(-?(?:0x[0-9a-fA-F]+|\d+))\b", text)
        if m:
            return str(int(m.group(1), 0))
    return "?"


# ---- messages ----------------------------------------------------------------------------------

def parse_messages(text):
    sections = []
    for number, raw in enumerate(text.split("\n"), 1):
        line = raw.rstrip()
        if not line.strip() or line.startswith("#"):
            continue
        if line.startswith("[") and line.endswith("]"):
            sections.append({"title": line[1:-1], "intro": [], "rows": []})
        elif line.startswith(">"):
            sections[-1]["intro"].append(line[1:].strip())
        else:
            fields = [f.strip() for f in line.split("|")]
            if len(fields) != 4 or not re.fullmatch(r"On\w+", fields[0]) or not sections:
                raise SystemExit(f"{MESSAGES}:{number}: expected 'NAME | PARAMETERS | WHEN | RECEIVER'")
            sections[-1]["rows"].append(fields)
    return sections


def source_message_names():
    names = {}
    for folder in ("src",):
        for dirpath, _, files in os.walk(os.path.join(ROOT, folder)):
            for name in files:
                if not name.endswith((".cpp", ".h", ".pkg")):
                    continue
                path = os.path.join(dirpath, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        for m in re.finditer(r'"(On[A-Z]\w*)"', line):
                            names.setdefault(m.group(1), f"{os.path.relpath(path, ROOT)}:{number}")
    return names


# ---- the model -----------------------------------------------------------------------------------

class Reference:
    def __init__(self):
        self.classes = {}
        self.functions = []
        self.constants = []
        self.problems = []
        self.messages = parse_messages(read(MESSAGES))
        self.load()

    def load(self):
        # Modules in the order the engine opens them, then any others.
        opened = re.findall(r"\btolua_(\w+)_open\s*\(\s*L\s*\)\s*;", read(BINDINGS_OPEN))
        available = sorted(f[:-4] for f in os.listdir(os.path.join(ROOT, BINDINGS)) if f.endswith(".pkg"))
        packages = [m + ".pkg" for m in opened if m in available]
        packages += [m + ".pkg" for m in available if m not in opened]
        order = []
        for package in packages:
            before = set(self.classes)
            parse_package(read(os.path.join(BINDINGS, package)), package, self.classes,
                          self.functions, self.constants, keep_notes=True)
            order += [c for c in self.classes if c not in before]

        # Hand registrations and their signatures.
        signed_classes, signed_functions, unused = {}, [], []
        parse_package(read(SIGNATURES), "glue", signed_classes, signed_functions, unused,
                      keep_notes=True)
        glue_files = sorted(os.path.join(BINDINGS, f) for f in os.listdir(os.path.join(ROOT, BINDINGS))
                            if f.endswith("_glue.cpp")) + HOST_SOURCES
        headers = []
        for dirpath, _, files in os.walk(os.path.join(ROOT, "src")):
            for name in files:
                if name.endswith(".h"):
                    with open(os.path.join(dirpath, name), encoding="utf-8", errors="replace") as f:
                        headers.append(f.read())
        self.constants = [(name, constant_value(value, headers), source)
                          for name, value, source in self.constants]
        registered = set()
        for path in glue_files:
            source = os.path.basename(path)
            for module, kind, name, expression in hand_registrations(path):
                if kind == "constant":
                    self.constants.append((name, constant_value(expression, headers), source))
                    continue
                registered.add((module, name))
                if module is None:
                    signed = [f for f in signed_functions if f.name == name]
                    target = self.functions
                else:
                    info = self.classes.get(module)
                    if info is None:
                        info = self.classes[module] = ClassInfo(module, source)
                        order.append(module)
                    signed = [m for m in signed_classes.get(module, ClassInfo(module, "")).members
                              if m.name == name]
                    target = info.members
                if not signed:
                    self.problems.append(
                        f"{path}: '{name}'" + (f" of {module}" if module else "") +
                        f" is registered by hand but has no signature in {SIGNATURES}")
                    signed = [Member(name, "method" if module else "function", note="(signature not documented)")]
                # A hand registration replaces what the package generated under that name.
                target[:] = [m for m in target if m.name != name]
                for member in signed:
                    member.source = source
                    target.append(member)
        for function in signed_functions:
            if (None, function.name) not in registered:
                self.problems.append(f"{SIGNATURES}: '{function.name}' is registered nowhere")
        for info in signed_classes.values():
            for member in info.members:
                if (info.name, member.name) not in registered:
                    self.problems.append(f"{SIGNATURES}: '{member.name}' of {info.name} is registered nowhere")
        self.order = order

    # ---- text ----

    def signature(self, member, owner=None):
        params = ", ".join(
            (f"{t} {n}".strip() if t else n) + (f" = {d}" if d is not None else "")
            for t, n, d in member.params)
        if member.kind in ("property", "read-only property"):
            return f"`{member.name}`: {member.result or 'any'}"
        name = member.name
        if member.kind == "operator":
            sign = OPERATOR_SIGNS.get(name, name)
            text = f"`{name}({params})` (`a {sign} b`)"
        else:
            text = f"`{name}({params})`"
        if member.result:
            text += f" → {member.result}"
        return text

    def class_section(self, info):
        lines = [f"### {info.name}", ""]
        about = f"Bound in `{info.source}`"
        by_hand = sorted({m.source for m in info.members if m.source != info.source})
        if by_hand:
            about += " (members registered by hand in " + ", ".join(f"`{s}`" for s in by_hand) + ")"
        about += "."
        if info.base:
            about += f" Derives from [{info.base}](#{anchor(info.base)}): its members apply too."
        lines += [about, ""]
        if not info.members:
            lines += ["No members: objects of this type only travel between engine functions.", ""]
            return lines
        lines += ["| Member | Kind | Signature | Notes |", "|---|---|---|---|"]
        names = list(dict.fromkeys(m.name for m in info.members))
        for member in sorted(info.members, key=lambda m: names.index(m.name)):
            lines.append(f"| `{member.name}` | {member.kind} | {self.signature(member)} | {cell(member.note)} |")
        lines.append("")
        return lines

    def function_rows(self, name=None):
        rows = []
        for f in sorted(self.functions, key=lambda f: f.name.lower()):
            if name is None or f.name == name:
                rows.append(f"| `{f.name}` | {self.signature(f)} | `{f.source}` | {cell(f.note)} |")
        return rows

    def constant_rows(self, name=None):
        rows = []
        for cname, value, source in self.constants:
            if name is None or cname == name:
                rows.append(f"| `{cname}` | {value} | `{source}` |")
        return rows

    def message_rows(self, section, name=None):
        return [f"| `{n}` | {cell(p) if p != '-' else 'none'} | {cell(w)} | {cell(r)} |"
                for n, p, w, r in section["rows"] if name is None or n == name]

    def markdown(self):
        out = [
            "# Script reference",
            "",
            "What Lua scripts see of the engine: every class with its members, every global",
            "function and constant, and the messages the engine sends and handles.",
            "",
            "This file is generated from the bindings (`src/script/bindings/*.pkg`, the members the",
            "glue registers by hand with their signatures in `glue_signatures.txt`, and",
            "`messages.txt`). Do not edit it; after changing a binding, regenerate it with",
            f"`{REGENERATE}`.",
            "`kvqtool api [NAME]` prints it, or the part about one name.",
            "",
            "Conventions: members are called with the colon (`window:GetName()`); statics",
            "(`new`, `new_local`, `Instance`, `sharedEngine`, `FromHandle`) with the dot or the colon.",
            "`new` makes an object the engine owns (classes with `delete` free it that way), `new_local` one",
            "that Lua collects. Properties are fields (`point.x = 3`). An argument written `name = value` may be",
            "left out. Numbers are truncated toward zero where the engine takes integers; an argument",
            "of the wrong type is a script error. Lua 5.1's standard libraries and tolua++'s `tolua`",
            "table (`tolua.type(object)`, `tolua.cast(object, \"Class\")`) are there as well.",
            "",
            "## Contents",
            "",
            "- Classes: " + ", ".join(f"[{c}](#{anchor(c)})" for c in self.order),
            "- [Global functions](#global-functions)",
            "- [Constants](#constants)",
            "- [Messages](#messages): " + ", ".join(
                f"[{s['title']}](#{anchor(s['title'])})" for s in self.messages),
            "",
            "## Classes",
            "",
        ]
        for name in self.order:
            out += self.class_section(self.classes[name])
        out += ["## Global functions", "", "| Function | Signature | Bound in | Notes |", "|---|---|---|---|"]
        out += self.function_rows() + [""]
        out += ["## Constants", "", "| Constant | Value | Bound in |", "|---|---|---|"]
        out += self.constant_rows() + [""]
        out += ["## Messages", "",
                "A message is a name beginning with \"On\" and a `CKVQMessage` whose parameters are",
                "written in the order given here. A handler reads them in that order:",
                "`message:setMode(SM_READ)`, then `message:int()` for each int32, `message:uint32()`,",
                "`message:float()`, `message:uint8()`, `message:Ptr(\"CKVQWindow\")`.", ""]
        for section in self.messages:
            out += [f"### {section['title']}", ""]
            if section["intro"]:
                out += [" ".join(section["intro"]), ""]
            out += ["| Message | Parameters | When | Receiver |", "|---|---|---|---|"]
            out += self.message_rows(section) + [""]
        return "\n".join(out).rstrip() + "\n"

    def parts(self):
        """[(name, text)]: what `kvqtool api NAME` prints for each name."""
        parts = []
        for name in self.order:
            info = self.classes[name]
            parts.append((name, "\n".join(self.class_section(info))))
            seen = set()
            for member in info.members:
                if member.name in seen:
                    continue
                seen.add(member.name)
                rows = [f"| `{m.name}` | {m.kind} | {self.signature(m)} | {cell(m.note)} |"
                        for m in info.members if m.name == member.name]
                parts.append((f"{name}:{member.name}", "\n".join(
                    [f"### {name}:{member.name}", "", "| Member | Kind | Signature | Notes |",
                     "|---|---|---|---|"] + rows + [""])))
        for name in sorted({f.name for f in self.functions}):
            parts.append((name, "\n".join(["### " + name, "", "| Function | Signature | Bound in | Notes |",
                                           "|---|---|---|---|"] + self.function_rows(name) + [""])))
        for name in sorted({c[0] for c in self.constants}):
            parts.append((name, "\n".join(["### " + name, "", "| Constant | Value | Bound in |", "|---|---|---|"]
                                          + self.constant_rows(name) + [""])))
        message_names = []
        for section in self.messages:
            for row in section["rows"]:
                if row[0] not in message_names:
                    message_names.append(row[0])
        for name in message_names:
            lines = [f"### {name}", ""]
            for section in self.messages:
                rows = self.message_rows(section, name)
                if rows:
                    lines += [f"{section['title']}:", "", "| Message | Parameters | When | Receiver |",
                              "|---|---|---|---|"] + rows + [""]
            parts.append((name, "\n".join(lines)))
        return parts


def cell(text):
    return text.replace("|", "\\|")


def anchor(title):
    text = title.lower()
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


def cpp_literal(text):
    out = []
    for line in text.split("\n"):
        escaped = line.replace("\\", "\\\\").replace('"', '\\"')
        out.append(f'    "{escaped}\\n"')
    return "\n".join(out)


def write_cpp(reference, path):
    parts = reference.parts()
    body = [
        "// Generated by scripts/script_api.py from the script bindings; do not edit.",
        "#include \"ScriptApiText.h\"",
        "",
        "namespace script_api {",
        "",
        "const char* const kReference =",
        cpp_literal(reference.markdown().rstrip("\n")) + ";",
        "",
        "const Part kParts[] = {",
    ]
    for name, text in parts:
        body.append(f'    {{"{name}",\n' + cpp_literal(text.rstrip("\n")) + "},")
    body += ["};", "", f"const int kPartCount = {len(parts)};", "", "}  // namespace script_api", ""]
    content = "\n".join(body)
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            if f.read() == content:
                return
    with open(path, "w", encoding="utf-8") as f:
        f.write(content)


def main():
    parser = argparse.ArgumentParser(description="Builds the script reference from the bindings.")
    parser.add_argument("--write", metavar="FILE")
    parser.add_argument("--check", metavar="FILE")
    parser.add_argument("--cpp", metavar="FILE")
    parser.add_argument("--check-messages", action="store_true")
    args = parser.parse_args()

    if args.check_messages:
        listed = {row[0] for s in parse_messages(read(MESSAGES)) for row in s["rows"]}
        missing = {n: w for n, w in source_message_names().items() if n not in listed}
        for name, where in sorted(missing.items()):
            print(f"{where}: message '{name}' is not in {MESSAGES}", file=sys.stderr)
        return 1 if missing else 0

    reference = Reference()
    text = reference.markdown()
    if args.check:
        status = 0
        for problem in reference.problems:
            print(problem, file=sys.stderr)
            status = 1
        try:
            with open(args.check, encoding="utf-8") as f:
                current = f.read()
        except OSError:
            current = ""
        if current != text:
            diff = difflib.unified_diff(current.splitlines(), text.splitlines(), args.check,
                                        "generated", lineterm="", n=1)
            for line in list(diff)[:40]:
                print(line, file=sys.stderr)
            print(f"{args.check} is out of date; regenerate it with: {REGENERATE}", file=sys.stderr)
            status = 1
        return status
    for problem in reference.problems:
        print(f"warning: {problem}", file=sys.stderr)
    if args.cpp:
        write_cpp(reference, args.cpp)
    if args.write:
        with open(args.write, "w", encoding="utf-8") as f:
            f.write(text)
    if not args.cpp and not args.write:
        sys.stdout.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
