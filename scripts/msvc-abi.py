#!/usr/bin/env python3
"""The MSVC side of the Windows DLL: names, forwarders, and the checks that they fit MSVC games.

A game built with MSVC against include/ calls the C++ classes under MSVC's name decoration and
calling conventions. This tool makes and checks what the DLL needs for that:

  derive            Lists the MSVC-decorated name of every public member of the classes that
                    scripts/expected-exports.txt names (`class ...` lines), as an MSVC-ABI
                    compile of the public header references them: clang --target=<arch>-pc-
                    windows-msvc compiles one small game-side file per member, and llvm-nm
                    reads the name off its object. Nothing is typed by hand. With --out it also
                    writes what the build links into the DLL (see write_outputs); the mingw
                    compiler then compiles the same files, which gives GCC's name of the same
                    member, the one each MSVC name is made an alias of.
  check-convention  Disassembles the code behind every decorated export of a built DLL (with
                    its symbol table, as the build tree has it) and checks it against MSVC's
                    calling convention for members; a constructor must return `this`.
  check-imports     Checks that every name a program imports from velhalyxapi_r2.dll is in the
                    DLL's export table, and that the program imports every decorated export.
  self-test         Builds small probe DLLs whose members break MSVC's convention in known ways
                    and checks that check-convention refuses each of them (and passes the one
                    that keeps it), so that a passing check means something.

Decorated exports are aliases of the existing members (the GCC-decorated ones the class export
already has), except constructors: MSVC callers expect a constructor to return `this` (EAX,
RAX) and GCC's return nothing, so each constructor is exported through a forwarder that
constructs in place and returns `this`.
"""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

ARCHES = {
    # arch: (MSVC target, mingw triplet, stack slot size)
    "i686": ("i686-pc-windows-msvc", "i686-w64-mingw32", 4),
    "x86_64": ("x86_64-pc-windows-msvc", "x86_64-w64-mingw32", 8),
}


def fail(message):
    print(f"msvc-abi: {message}", file=sys.stderr)
    sys.exit(1)


def run(command, cwd=None):
    result = subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            text=True)
    if result.returncode != 0:
        fail(f"{' '.join(command)} failed:\n{result.stdout}{result.stderr}")
    return result.stdout


def tool(preferred, *fallbacks):
    for name in (preferred,) + fallbacks:
        if name and (os.path.isabs(name) and os.access(name, os.X_OK) or shutil.which(name)):
            return name if os.path.isabs(name) else shutil.which(name)
    fail(f"none of {', '.join(n for n in (preferred,) + fallbacks if n)} found "
         "(run scripts/setup.sh)")


# --------------------------------------------------------------------------------------------
# The export list
# --------------------------------------------------------------------------------------------

def read_export_list(path):
    """Plain names and class names of scripts/expected-exports.txt."""
    plain, classes = [], []
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            if line.startswith("class "):
                classes.append(line[len("class "):].strip())
            elif re.fullmatch(r"[A-Za-z_][A-Za-z0-9_]*", line):
                plain.append(line)
            else:
                fail(f"{path}: cannot read the line '{line}'")
    return plain, classes


# --------------------------------------------------------------------------------------------
# derive
# --------------------------------------------------------------------------------------------

class Member:
    def __init__(self, cls, kind, name, function_type, params):
        self.cls = cls                       # qualified class name
        self.kind = kind                     # constructor, destructor or method
        self.name = name
        self.function_type = function_type   # e.g. "void (unsigned int, kx::halyxdll::X *)"
        self.params = params                 # parameter types
        self.msvc = None                     # MSVC-decorated name
        self.gcc = None                      # GCC's symbol for the member (without i386's _)

    def declaration(self):
        return f"{self.cls}::{self.name}({', '.join(self.params)})"


def exported_members(clang, target, include, header, classes):
    """Public members of the export-marked classes of the header, from clang's syntax tree."""
    with tempfile.TemporaryDirectory() as scratch:
        source = os.path.join(scratch, "header.cpp")
        with open(source, "w") as out:
            out.write(f'#include "{header}"\n')
        tree = json.loads(run([clang, f"--target={target}", "-std=c++17", f"-I{include}",
                               "-fsyntax-only", "-Xclang", "-ast-dump=json", source]))

    found = {}  # qualified class name -> members

    def walk(node, scope):
        kind = node.get("kind")
        if kind == "NamespaceDecl":
            for child in node.get("inner", []):
                walk(child, scope + [node.get("name", "")])
            return
        if kind == "TranslationUnitDecl":
            for child in node.get("inner", []):
                walk(child, scope)
            return
        if kind != "CXXRecordDecl" or not node.get("completeDefinition"):
            return
        inner = node.get("inner", [])
        if not any(child["kind"] in ("DLLImportAttr", "DLLExportAttr") for child in inner):
            return
        qualified = "::".join(scope + [node["name"]])
        members = found.setdefault(qualified, [])
        access = "public" if node.get("tagUsed") == "struct" else "private"
        for child in inner:
            child_kind = child["kind"]
            if child_kind == "AccessSpecDecl":
                access = child["access"]
                continue
            if child_kind not in ("CXXConstructorDecl", "CXXDestructorDecl", "CXXMethodDecl"):
                continue
            if child.get("isImplicit") or child.get("explicitlyDeleted"):
                continue
            where = f"{qualified}::{child['name']}"
            if access == "private":
                continue  # a game cannot call it
            if access != "public":
                fail(f"{where} is {access}: only public members can be exported for MSVC yet")
            if child.get("virtual") or child.get("storageClass") == "static":
                fail(f"{where} is virtual or static: not supported for MSVC exports yet")
            if any(grand["kind"] == "CompoundStmt" for grand in child.get("inner", [])):
                fail(f"{where} is defined in the header: not supported for MSVC exports yet")
            function_type = child["type"]["qualType"].replace(" __attribute__((thiscall))", "")
            params = [grand["type"]["qualType"] for grand in child.get("inner", [])
                      if grand["kind"] == "ParmVarDecl"]
            kind = {"CXXConstructorDecl": "constructor", "CXXDestructorDecl": "destructor",
                    "CXXMethodDecl": "method"}[child_kind]
            members.append(Member(qualified, kind, child["name"], function_type, params))

    walk(tree, [])
    marked, listed = set(found), set(classes)
    if marked - listed:
        fail("classes marked for export in the header but not listed as `class` lines in "
             f"scripts/expected-exports.txt: {', '.join(sorted(marked - listed))}")
    if listed - marked:
        fail("classes listed in scripts/expected-exports.txt but not marked for export in the "
             f"header: {', '.join(sorted(listed - marked))}")
    return [member for cls in classes for member in found[cls]]


# Game-side code that references one member, compiled once for MSVC and once for GCC. The
# class is imported (not building the library), so the object refers to __imp_<name>.
REFERENCE_PRELUDE = """\
#include "{header}"
inline void* operator new(decltype(sizeof 0), void* place) noexcept {{ return place; }}
template <typename T> T KxArgument();
"""


def reference_source(member, header):
    cls = member.cls
    short = cls.split("::")[-1]
    args = ", ".join(f"KxArgument<{param}>()" for param in member.params)
    if member.kind == "constructor":
        body = f"void KxReference(void* place) {{ ::new (place) {cls}({args}); }}\n"
    elif member.kind == "destructor":
        body = f"void KxReference({cls}* object) {{ object->~{short}(); }}\n"
    else:
        body = (f"using KxType = {member.function_type};\n"
                f"KxType {cls}::* KxReference() {{ return &{cls}::{member.name}; }}\n")
    return REFERENCE_PRELUDE.format(header=header) + body


def imported_names(nm, objects):
    """The one __imp_ name each object refers to, in the order of `objects`."""
    output = run([nm, "--undefined-only", "--format=just-symbols"] + objects)
    names, current = {}, None
    for line in output.splitlines():
        line = line.strip()
        if line.endswith(":") and line[:-1] in objects:
            current = line[:-1]
            continue
        if current and line.startswith("__imp_"):
            names.setdefault(current, []).append(line[len("__imp_"):])
    result = []
    for obj in objects:
        found = names.get(obj, [])
        if len(found) != 1:
            fail(f"{obj} refers to {len(found)} imported names, not one: {found}")
        result.append(found[0])
    return result


def derive(args):
    target, triplet, _ = ARCHES[args.arch]
    clang = tool(args.clang, "clang++", "clang++-14")
    nm = tool(args.llvm_nm, "llvm-nm", "llvm-nm-14")
    args.include = os.path.abspath(args.include)
    plain, classes = read_export_list(args.exports)
    members = exported_members(clang, target, args.include, args.header, classes)
    if not members:
        fail("no members to export")

    work = tempfile.mkdtemp(prefix="msvc-abi-")
    try:
        sources = []
        for index, member in enumerate(members):
            source = os.path.join(work, f"member{index:03d}.cpp")
            with open(source, "w") as out:
                out.write(reference_source(member, args.header))
            sources.append(source)

        def compile_all(compiler, flags, subdir):
            directory = os.path.join(work, subdir)
            os.mkdir(directory)
            run([compiler] + flags + ["-std=c++17", f"-I{args.include}", "-c"] + sources,
                cwd=directory)
            return [os.path.join(directory, f"member{i:03d}.o") for i in range(len(sources))]

        msvc_objects = compile_all(clang, [f"--target={target}", "-fno-exceptions"], "msvc")
        for member, name in zip(members, imported_names(nm, msvc_objects)):
            member.msvc = name
        if args.cxx:
            gcc_objects = compile_all(args.cxx, [], "gcc")
            for member, name in zip(members, imported_names(nm, gcc_objects)):
                # i386 puts an underscore before every C-level name; .def files leave it out.
                member.gcc = name[1:] if args.arch == "i686" else name
    finally:
        shutil.rmtree(work, ignore_errors=True)

    names = [member.msvc for member in members]
    if len(set(names)) != len(names):
        fail("two members share a decorated name")
    if args.out:
        if not args.cxx:
            fail("--out needs --cxx (the compiler that builds the DLL)")
        write_outputs(args, plain, members)
    else:
        print("\n".join(sorted(names)))


GENERATED = "Generated by scripts/msvc-abi.py from the public header; do not edit."


def write_outputs(args, plain, members):
    """Writes, into --out:
    msvc-exports.txt     the decorated names, one per line;
    msvc-exports.tsv     per name: the kind, what it is exported as, and the member;
    msvc-exports.def     EXPORTS lines that the DLL is linked with (decorated name = symbol);
    MsvcConstructors.cpp the constructor forwarders, compiled into the DLL;
    velhalyxapi_r2.def   every export by the name MSVC's import library needs (plain and
                         decorated), from which velhalyxapi_r2.lib is made.
    """
    os.makedirs(args.out, exist_ok=True)
    forwarders, def_lines, table = [], [], []
    for member in members:
        if member.kind == "constructor":
            symbol = f"KxMsvcConstructor{len(forwarders)}"
            params = "".join(f", {param} a{i}" for i, param in enumerate(member.params))
            passed = ", ".join(f"a{i}" for i in range(len(member.params)))
            forwarders.append(
                f"// {member.msvc}\n// {member.declaration()}\n"
                f"KX_MSVC_MEMBER void* {symbol}(void* self{params}) {{\n"
                f"    ::new (self) {member.cls}({passed});\n"
                f"    return self;\n}}\n")
            kind = "forwarder"
        else:
            symbol = member.gcc
            kind = "alias"
        def_lines.append(f'    "{member.msvc}" = {symbol}')
        table.append(f"{member.msvc}\t{kind}\t{symbol}\t{member.declaration()}")

    def write(name, text):
        path = os.path.join(args.out, name)
        # Unchanged files keep their time, so that nothing relinks for nothing.
        if os.path.exists(path):
            with open(path, encoding="utf-8") as old:
                if old.read() == text:
                    return
        with open(path, "w", encoding="utf-8") as out:
            out.write(text)

    write("msvc-exports.txt", "".join(f"{m.msvc}\n" for m in members))
    write("msvc-exports.tsv", "# " + GENERATED + "\n# decorated name\tkind\tsymbol\tmember\n" +
          "".join(line + "\n" for line in table))
    write("msvc-exports.def", "; " + GENERATED + "\nEXPORTS\n" +
          "".join(line + "\n" for line in def_lines))
    write("MsvcConstructors.cpp", f"""\
// {GENERATED}
// MSVC callers expect a constructor to return `this` (EAX on i686, RAX on x86-64); GCC's
// constructors return nothing. Each forwarder constructs in place and returns `this`, with
// MSVC's convention for members (__thiscall on i686: `this` in ECX, the callee pops the
// arguments). The DLL exports it under the constructor's MSVC-decorated name
// (msvc-exports.def); scripts/msvc-abi.py check-convention checks the result.
#include <new>

#include "{args.header}"

#if defined(__i386__)
#define KX_MSVC_MEMBER __attribute__((thiscall))
#else
#define KX_MSVC_MEMBER
#endif

extern "C" {{

{chr(10).join(forwarders)}
}}  // extern "C"
""")
    write("velhalyxapi_r2.def", "; " + GENERATED + "\nLIBRARY velhalyxapi_r2.dll\nEXPORTS\n" +
          "".join(f"    {name}\n" for name in plain) +
          "".join(f'    "{m.msvc}"\n' for m in members))


# --------------------------------------------------------------------------------------------
# Reading a DLL
# --------------------------------------------------------------------------------------------

def dll_exports(objdump, dll):
    """Name -> RVA of every export, and the image base."""
    dump = run([objdump, "-p", dll])
    base = int(re.search(r"^ImageBase\s+([0-9a-fA-F]+)", dump, re.M).group(1), 16)
    rvas = {}  # ordinal (biased) -> rva
    table = re.search(r"Export Address Table -- Ordinal Base (\d+)\n(.*?)\n\n", dump, re.S)
    ordinal_base = int(table.group(1))
    for match in re.finditer(r"\[\s*(\d+)\] \+base\[\s*(\d+)\]\s+([0-9a-fA-F]+) Export RVA",
                             table.group(2)):
        rvas[int(match.group(2))] = int(match.group(3), 16)
    names = {}
    pointer = re.search(r"\[Ordinal/Name Pointer\] Table\n(.*?)(?:\n\n|\Z)", dump, re.S)
    for match in re.finditer(r"\[\s*(\d+)\] (\S+)", pointer.group(1)):
        names[match.group(2)] = rvas[int(match.group(1)) + ordinal_base]
    return names, base


def dll_imports(objdump, program, dll_name):
    dump = run([objdump, "-p", program])
    section = re.search(rf"DLL Name: {re.escape(dll_name)}\n(.*?)\n\n", dump, re.S | re.I)
    if not section:
        return []
    return re.findall(r"^\s+[0-9a-fA-F]+\s+\d+\s+(\S+)\s*$", section.group(1), re.M)


# --------------------------------------------------------------------------------------------
# check-convention
# --------------------------------------------------------------------------------------------

REGISTER_FAMILIES = {}
for family, names in {
    "ax": "rax eax ax al ah", "cx": "rcx ecx cx cl ch", "dx": "rdx edx dx dl dh",
    "bx": "rbx ebx bx bl bh", "si": "rsi esi si sil", "di": "rdi edi di dil",
    "bp": "rbp ebp bp bpl", "sp": "rsp esp sp spl",
    **{f"r{n}": f"r{n} r{n}d r{n}w r{n}b" for n in range(8, 16)},
}.items():
    for register in names.split():
        REGISTER_FAMILIES[register] = family

# Instructions whose last operand is only written; every other operand is read.
WRITE_ONLY = re.compile(r"^(mov[a-z]*|lea[lwq]?|set[a-z]+|pop[lwq]?|cltd|cltq|cwtl)$")
# Instructions that only read their operands.
READ_ONLY = re.compile(r"^(test[a-z]?|cmp[a-z]?|bt[lwq]?|push[lwq]?|nop[lwq]?)$")


def split_operands(text):
    operands, depth, current = [], 0, ""
    for char in text:
        if char == "(":
            depth += 1
        elif char == ")":
            depth -= 1
        if char == "," and depth == 0:
            operands.append(current.strip())
            current = ""
        else:
            current += char
    if current.strip():
        operands.append(current.strip())
    return operands


class Instruction:
    def __init__(self, address, mnemonic, operands, target):
        self.address = address
        self.mnemonic = mnemonic
        self.operands = operands
        self.target = target  # direct branch or call target


def disassemble(objdump, dll, start, stop):
    output = run([objdump, "-d", "--no-show-raw-insn", f"--start-address={start:#x}",
                  f"--stop-address={stop:#x}", dll])
    instructions = []
    for line in output.splitlines():
        match = re.match(r"^\s*([0-9a-f]+):\s+(.*)$", line)
        if not match:
            continue
        text = re.sub(r"\s*#.*$", "", match.group(2)).strip()
        text = re.sub(r"^(rep[a-z]*|lock|notrack|bnd)\s+", "", text)
        parts = text.split(None, 1)
        if not parts or parts[0] == "(bad)":
            continue
        mnemonic = parts[0]
        rest = parts[1] if len(parts) > 1 else ""
        target = None
        branch = re.match(r"^([0-9a-f]+) <[^>]*>$", rest)
        if branch and (mnemonic.startswith("j") or mnemonic.startswith("call")):
            target = int(branch.group(1), 16)
            operands = []
        else:
            operands = split_operands(rest)
        instructions.append(Instruction(int(match.group(1), 16), mnemonic, operands, target))
    return instructions


def registers_in(operand):
    return [REGISTER_FAMILIES[r] for r in re.findall(r"%([a-z0-9]+)", operand)
            if r in REGISTER_FAMILIES]


def memory_reference(operand):
    """(displacement, base family) of a memory operand on the stack or frame pointer."""
    match = re.match(r"^(-?0x[0-9a-f]+|-?\d+)?\(%([a-z0-9]+)\)$", operand)
    if not match:
        return None
    displacement = int(match.group(1), 0) if match.group(1) else 0
    return displacement, REGISTER_FAMILIES.get(match.group(2))


def stack_parameter_bytes(signature, slot):
    """Bytes of stack arguments, `this` aside, for a demangled MSVC member signature."""
    params = re.search(r"\((.*)\)(?: const)?(?: __ptr64)?$", signature).group(1).strip()
    if params in ("", "void"):
        return 0
    total = 0
    for param in split_operands(params.replace("<", "(").replace(">", ")")):
        if "*" in param or "&" in param:
            size = slot
        elif re.search(r"__int64|double", param):
            size = 8
        elif re.fullmatch(r"(unsigned |signed )?(bool|char|short|int|long|wchar_t|char16_t)"
                          r"|float|enum .*", param):
            size = 4
        else:
            fail(f"no stack size known for a parameter of type '{param}' in {signature}")
        total += max(slot, (size + slot - 1) // slot * slot)
    return total


class ConventionCheck:
    """Checks the code behind one decorated export against MSVC's convention for members.

    On i686 (MSVC's __thiscall: `this` in ECX, the other arguments on the stack, the callee pops
    them):
    - every return pops exactly MSVC's stack arguments (`ret $N`, N = their bytes: `this` is not
      among them), in the function and in every function it tail-jumps to;
    - on every path from the entry: no register but ECX carries an argument (EAX and EDX are
      not read before they are written), nothing beyond the pushed arguments is touched on the
      caller's stack (where a stack convention would keep `this`), and the stack is back at its
      entry height at each return. Calls to functions of the DLL count the bytes those pop; a
      path ends at an indirect call or a tail jump;
    - a constructor forwarder returns `this`: EAX holds the incoming ECX at every return (every
      path must be followed to its end).
    On x86-64 there is one convention for all (`this` in RCX, the caller cleans up): returns
    must be plain, and a constructor forwarder must return RAX = incoming RCX."""

    def __init__(self, objdump, dll, arch, symbols):
        self.objdump, self.dll, self.arch = objdump, dll, arch
        self.symbols = symbols  # sorted (address, name)
        self.cache = {}
        self.slot = 4 if arch == "i686" else 8

    def extent(self, address):
        names = [name for start, name in self.symbols if start == address and name]
        if not names:
            return None, address, address + 4096
        stop = min((start for start, _ in self.symbols if start > address), default=address + 4096)
        # Several names may share the code (GCC's complete and base object variants): the
        # shortest, then first in order, stands for it.
        return sorted(names, key=lambda n: (len(n), n))[0], address, stop

    def function(self, address):
        """(name, {address: instruction}, stop) of the function at `address`, with the split-off
        cold parts (name.cold) it jumps to."""
        if address not in self.cache:
            name, start, stop = self.extent(address)
            code = {i.address: i for i in disassemble(self.objdump, self.dll, start, stop)}
            for ins in list(code.values()):
                if ins.target is not None and ins.target not in code and name:
                    target_name, cold_start, cold_stop = self.extent(ins.target)
                    if target_name and target_name.startswith(name + ".cold"):
                        code.update({i.address: i for i in
                                     disassemble(self.objdump, self.dll, cold_start, cold_stop)})
            self.cache[address] = (name, code, stop)
        return self.cache[address]

    def pops(self, address):
        """The argument bytes the function at `address` pops, or None (no return, or returns
        that disagree)."""
        _, code, _ = self.function(address)
        popped = {int(i.operands[0][1:], 0) if i.operands else 0
                  for i in code.values() if i.mnemonic.startswith("ret")}
        return popped.pop() if len(popped) == 1 else None

    def returns(self, address, stack_bytes, depth=0):
        """Every return of the function and of the functions it tail-jumps to pops
        `stack_bytes`."""
        problems = []
        name, code, _ = self.function(address)
        for ins in code.values():
            if ins.mnemonic.startswith("ret"):
                popped = int(ins.operands[0][1:], 0) if ins.operands else 0
                if popped != stack_bytes:
                    problems.append(f"{name}+{ins.address - address:#x}: pops {popped} argument "
                                    f"bytes, MSVC's caller pushed {stack_bytes}")
            elif ins.mnemonic.startswith("j") and ins.target is not None and \
                    ins.target not in code:
                if depth >= 3:
                    problems.append(f"{name}: tail jumps nest too deeply to follow")
                else:
                    problems += self.returns(ins.target, stack_bytes, depth + 1)
        return problems

    def paths(self, address, stack_bytes, constructor):
        problems = []
        name, code, stop = self.function(address)
        this_register, return_register = "cx", "ax"
        fresh_start = frozenset({"ax", "dx"} if self.arch == "i686" else set())
        # (address, stack offset from the entry, frame pointer offset or None, registers that
        # hold the incoming `this`, registers not yet written, "holds this" of pushed values,
        # stack places, by offset from the entry, that hold `this`)
        work = [(address, 0, None, frozenset({this_register}), fresh_start, (), frozenset())]
        seen = set()

        def give_up(where, why):
            # Only a constructor forwarder must be followed to its end.
            if constructor:
                problems.append(f"{where}: {why}")

        def place(operand, esp, ebp):
            """Offset from the entry's stack pointer of a stack operand, or None."""
            ref = memory_reference(operand)
            if ref is None:
                return None
            displacement, base = ref
            if base == "sp":
                return esp + displacement
            if base == "bp" and ebp is not None:
                return ebp + displacement
            return None

        while work:
            pc, esp, ebp, this_regs, fresh, saved, this_slots = work.pop()
            if (pc, esp) in seen:
                continue
            seen.add((pc, esp))
            while pc in code:
                ins = code[pc]
                stack_place = lambda operand: place(operand, esp, ebp)  # noqa: E731
                op = ins.mnemonic
                next_pc = min((a for a in code if a > pc), default=stop)
                where = f"{name}+{pc - address:#x} ({op} {', '.join(ins.operands)})".rstrip()

                if ins.target is None:
                    # Register reads, and references to the caller's stack.
                    written = len(ins.operands) - 1 if ins.operands and not READ_ONLY.match(op) \
                        else None
                    zeroing = op.startswith(("xor", "sub")) and len(ins.operands) == 2 and \
                        ins.operands[0] == ins.operands[1]
                    for index, operand in enumerate(ins.operands):
                        memory = "(" in operand
                        only_written = index == written and not memory and \
                            (WRITE_ONLY.match(op) or zeroing)
                        if not only_written and not zeroing:
                            for family in registers_in(operand):
                                if family in fresh:
                                    problems.append(f"{where}: reads {family} before writing "
                                                    "it: an argument in a register")
                        at = stack_place(operand) if memory else None
                        if at is not None and self.arch == "i686":
                            if at >= 4 + stack_bytes:
                                problems.append(f"{where}: touches the caller's stack at {at:#x} "
                                                f"from the entry, beyond the {stack_bytes} "
                                                "bytes of arguments")
                    # `this` kept in and taken back from the stack (unoptimized code).
                    if len(ins.operands) == 2 and re.fullmatch(r"mov[lq]?", op):
                        source, target = ins.operands
                        source_at, target_at = stack_place(source), stack_place(target)
                        if target_at is not None:
                            regs = registers_in(source) if "(" not in source else []
                            keeps = bool(regs) and regs[0] in this_regs and \
                                (self.arch == "i686" or source.startswith("%r"))
                            this_slots = this_slots | {target_at} if keeps else \
                                this_slots - {target_at}
                        elif source_at is not None and source_at in this_slots and \
                                re.fullmatch(r"%[er][a-z0-9]+" if self.arch == "i686"
                                             else r"%r[a-z0-9]+", target):
                            this_regs = this_regs | {registers_in(target)[0]}
                            fresh = fresh - {registers_in(target)[0]}
                            pc = next_pc
                            continue
                    # Register state.
                    dest = ins.operands[-1] if ins.operands else ""
                    dest_regs = registers_in(dest) if "(" not in dest else []
                    if dest_regs and not READ_ONLY.match(op) and not op.startswith("push"):
                        family = dest_regs[0]
                        fresh = fresh - {family}
                        source = ins.operands[0] if len(ins.operands) == 2 else ""
                        wide = r"%[er][a-z0-9]+" if self.arch == "i686" else r"%r[a-z0-9]+"
                        copies_this = op in ("mov", "movl", "movq") and \
                            re.fullmatch(wide, source) and re.fullmatch(wide, dest) and \
                            registers_in(source) and registers_in(source)[0] in this_regs
                        this_regs = this_regs | {family} if copies_this else this_regs - {family}
                        if family == "sp" and not op.startswith("pop"):
                            amount = ins.operands[0]
                            if op.startswith("sub") and amount.startswith("$"):
                                esp -= int(amount[1:], 0)
                            elif op.startswith("add") and amount.startswith("$"):
                                esp += int(amount[1:], 0)
                            elif op.startswith("mov") and registers_in(amount) == ["bp"] and \
                                    ebp is not None:
                                esp = ebp
                            elif op.startswith("lea") and ebp is not None and \
                                    (memory_reference(amount) or (0, None))[1] == "bp":
                                esp = ebp + memory_reference(amount)[0]
                            else:
                                give_up(where, "the stack pointer cannot be followed")
                                break
                        if family == "bp":
                            frame = ins.operands[0]
                            if op.startswith("mov") and registers_in(frame) == ["sp"]:
                                ebp = esp
                            elif op.startswith("lea") and "(" in frame and \
                                    (memory_reference(frame) or (0, None))[1] == "sp":
                                ebp = esp + memory_reference(frame)[0]
                            else:
                                ebp = None
                if re.fullmatch(r"push[lwq]?", op):
                    esp -= self.slot
                    regs = registers_in(ins.operands[0]) if "(" not in ins.operands[0] else []
                    saved = saved + (bool(regs) and regs[0] in this_regs,)
                elif re.fullmatch(r"pop[lwq]?", op):
                    esp += self.slot
                    holds_this = saved[-1] if saved else False
                    saved = saved[:-1]
                    popped_regs = registers_in(ins.operands[0]) if "(" not in ins.operands[0] \
                        else []
                    family = popped_regs[0] if popped_regs else None
                    this_regs = this_regs | {family} if holds_this else this_regs - {family}
                    if family == "bp":
                        ebp = None
                elif op == "leave":
                    if ebp is None:
                        give_up(where, "leave without a known frame")
                        break
                    esp, ebp = ebp + self.slot, None
                    saved = saved[:-1]
                    this_regs = this_regs - {"bp"}

                # Control flow.
                if op.startswith("ret"):
                    if esp != 0:
                        problems.append(f"{where}: returns with the stack {-esp} bytes below "
                                        "its entry height")
                    if constructor and return_register not in this_regs:
                        problems.append(f"{where}: a constructor that does not return `this`")
                    break
                if op.startswith("call"):
                    if ins.target is None:
                        give_up(where, "an indirect call cannot be followed")
                        break
                    popped = self.pops(ins.target)
                    if popped is None:
                        break  # never returns (or cannot be told): the path ends here
                    esp += popped
                    # The callee may overwrite the scratch registers; it returns in EAX/RAX.
                    clobbered = {"ax", "cx", "dx"} | (set() if self.arch == "i686"
                                                      else {"r8", "r9"})
                    this_regs, fresh = this_regs - clobbered, fresh - clobbered
                elif op.startswith("j"):
                    if ins.target is None:
                        give_up(where, "an indirect jump cannot be followed")
                        break
                    if ins.target in code:
                        work.append((ins.target, esp, ebp, this_regs, fresh, saved,
                                     this_slots))
                    else:
                        if esp != 0:
                            problems.append(f"{where}: tail jump with the stack {-esp} bytes "
                                            "below its entry height")
                        give_up(where, "a constructor forwarder must return `this` itself")
                    if op == "jmp":
                        break
                pc = next_pc
        return problems

    def check(self, address, stack_bytes, constructor):
        """Problems found (empty when none)."""
        return sorted(set(self.returns(address, stack_bytes) +
                          self.paths(address, stack_bytes, constructor)))


def check_convention(args):
    objdump = tool(args.objdump, "x86_64-w64-mingw32-objdump", "objdump")
    undname = tool(args.llvm_undname, "llvm-undname", "llvm-undname-14")
    # GNU nm: llvm-nm leaves out some local symbols of a mingw DLL, and every symbol bounds a
    # function.
    nm = tool(args.nm, "x86_64-w64-mingw32-nm", "nm")
    exports, base = dll_exports(objdump, args.dll)
    decorated = sorted(name for name in exports if name.startswith("?"))
    if not decorated:
        fail(f"{args.dll} exports no MSVC-decorated name")
    arch = "i686" if "pei-i386" in run([objdump, "-f", args.dll]) else "x86_64"
    slot = ARCHES[arch][2]
    symbols = []
    for line in run([nm, "--defined-only", args.dll]).splitlines():
        parts = line.split()
        if len(parts) == 3 and parts[1] in "tT":
            # Section symbols (.text, .text$name) bound functions but name none.
            symbols.append((int(parts[0], 16), parts[2] if not parts[2].startswith(".")
                            else ""))
    if not symbols:
        fail(f"{args.dll} has no symbol table: check the build tree's DLL, not a stripped copy")
    symbols = sorted(set(symbols))
    checker = ConventionCheck(objdump, args.dll, arch, symbols)
    demangled = run([undname] + decorated).split("\n\n")
    signatures = {}
    for block in demangled:
        lines = block.strip().splitlines()
        if len(lines) == 2:
            signatures[lines[0]] = lines[1]

    failures = 0
    for name in decorated:
        signature = signatures.get(name)
        if not signature:
            fail(f"llvm-undname cannot read {name}")
        convention = "__thiscall" if arch == "i686" else "__cdecl"
        if f" {convention} " not in f" {signature} ":
            print(f"  {name}: MSVC declares it {signature!r}, not {convention}")
            failures += 1
            continue
        constructor = name.startswith("??0")
        stack_bytes = stack_parameter_bytes(signature, slot) if arch == "i686" else 0
        problems = checker.check(base + exports[name], stack_bytes, constructor)
        what = f"{'constructor, returns this; ' if constructor else ''}pops {stack_bytes}"
        if problems:
            failures += 1
            print(f"  FAILED {name} ({signature}):")
            for problem in problems:
                print(f"    {problem}")
        elif args.verbose:
            print(f"  ok {name} ({what})")
    print(f"calling convention ({arch}): {len(decorated) - failures} of {len(decorated)} "
          "decorated exports match MSVC's " +
          ("__thiscall (this in ECX, callee pops)" if arch == "i686" else "x64 convention") +
          ("" if failures else "; constructors return this"))
    if failures:
        sys.exit(1)
    if args.stamp:
        with open(args.stamp, "w") as out:
            out.write("ok\n")


# --------------------------------------------------------------------------------------------
# check-imports
# --------------------------------------------------------------------------------------------

def check_imports(args):
    objdump = tool(args.objdump, "x86_64-w64-mingw32-objdump", "objdump")
    exports, _ = dll_exports(objdump, args.dll)
    imports = dll_imports(objdump, args.program, os.path.basename(args.dll))
    if not imports:
        fail(f"{args.program} imports nothing from {os.path.basename(args.dll)}")
    missing = [name for name in imports if name not in exports]
    decorated = sorted(name for name in exports if name.startswith("?"))
    unused = [name for name in decorated if name not in imports]
    for name in missing:
        print(f"  not exported by the DLL: {name}")
    for name in unused:
        print(f"  a decorated export the game does not import: {name}")
    used = sum(1 for name in imports if name.startswith("?"))
    print(f"imports of {os.path.basename(args.program)}: {len(imports)} names from "
          f"{os.path.basename(args.dll)} ({used} MSVC-decorated), "
          f"{len(imports) - len(missing)} of them exported")
    if missing or unused:
        sys.exit(1)
    if args.stamp:
        with open(args.stamp, "w") as out:
            out.write("ok\n")


# --------------------------------------------------------------------------------------------
# self-test
# --------------------------------------------------------------------------------------------

PROBE = """\
#include <new>
#define CONVENTION {convention}
class __declspec(dllexport) Probe {{
public:
    Probe();
    int CONVENTION Add(int a, int b);
    int CONVENTION Get();
    int value;
}};
Probe::Probe() : value(7) {{}}
int CONVENTION Probe::Add(int a, int b) {{ return value + a + b; }}
int CONVENTION Probe::Get() {{ return value; }}
extern "C" {forwarder_convention} void* ProbeConstructor(void* self) {{
    {forwarder_body}
}}
"""

PROBE_CASES = [
    # (what, convention, forwarder convention, forwarder body, expected to pass)
    ("GCC's own convention for members, forwarder returning this", "", "__attribute__((thiscall))",
     "return ::new (self) Probe();", True),
    ("cdecl members", "__attribute__((cdecl))", "__attribute__((thiscall))",
     "return ::new (self) Probe();", False),
    ("stdcall members", "__attribute__((stdcall))", "__attribute__((thiscall))",
     "return ::new (self) Probe();", False),
    ("fastcall members", "__attribute__((fastcall))", "__attribute__((thiscall))",
     "return ::new (self) Probe();", False),
    ("a constructor forwarder that returns nothing useful", "", "__attribute__((thiscall))",
     "::new (self) Probe(); return nullptr;", False),
    ("a constructor forwarder in cdecl", "", "__attribute__((cdecl))",
     "return ::new (self) Probe();", False),
]


def self_test(args):
    gxx = tool(args.cxx, "i686-w64-mingw32-g++-posix", "i686-w64-mingw32-g++")
    work = tempfile.mkdtemp(prefix="msvc-abi-probe-")
    failures = 0
    try:
        for index, (what, convention, forwarder_convention, body, should_pass) in \
                enumerate(PROBE_CASES):
            source = os.path.join(work, f"probe{index}.cpp")
            with open(source, "w") as out:
                out.write(PROBE.format(convention=convention,
                                       forwarder_convention=forwarder_convention,
                                       forwarder_body=body))
            # The MSVC names of Probe's members, aliased to GCC's as the real DLL does.
            mangled_add = {"": "_ZN5Probe3AddEii", "__attribute__((cdecl))": "_ZN5Probe3AddEii",
                           "__attribute__((stdcall))": "_ZN5Probe3AddEii@12",
                           "__attribute__((fastcall))": "_ZN5Probe3AddEii@12"}[convention]
            mangled_get = {"": "_ZN5Probe3GetEv", "__attribute__((cdecl))": "_ZN5Probe3GetEv",
                           "__attribute__((stdcall))": "_ZN5Probe3GetEv@4",
                           "__attribute__((fastcall))": "_ZN5Probe3GetEv@4"}[convention]
            definition = os.path.join(work, f"probe{index}.def")
            with open(definition, "w") as out:
                out.write('EXPORTS\n    "??0Probe@@QAE@XZ" = ProbeConstructor\n'
                          f'    "?Add@Probe@@QAEHHH@Z" = {mangled_add}\n'
                          f'    "?Get@Probe@@QAEHXZ" = {mangled_get}\n')
            dll = os.path.join(work, f"probe{index}.dll")
            result = subprocess.run([gxx, "-O2", "-shared", "-static", "-o", dll, source,
                                     definition], stdout=subprocess.PIPE,
                                    stderr=subprocess.STDOUT, text=True)
            if result.returncode != 0:
                # fastcall's symbol decoration differs; try the other spelling before giving up.
                fixed = open(definition).read().replace("= _ZN5Probe", "= @_ZN5Probe")
                with open(definition, "w") as out:
                    out.write(fixed)
                result = subprocess.run([gxx, "-O2", "-shared", "-static", "-o", dll, source,
                                         definition], stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT, text=True)
            if result.returncode != 0:
                print(f"  probe '{what}' does not build:\n{result.stdout}")
                failures += 1
                continue
            check = subprocess.run([sys.executable, os.path.abspath(__file__), "check-convention",
                                    dll] + (["--objdump", args.objdump] if args.objdump else []) +
                                   (["--nm", args.nm] if args.nm else []), stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                   text=True)
            passed = check.returncode == 0
            verdict = "passes" if passed else "refused"
            if passed != should_pass:
                failures += 1
                print(f"  WRONG: {what}: the check {verdict}, expected the opposite\n" +
                      "".join(f"    {line}\n" for line in check.stdout.splitlines()))
            elif args.verbose:
                print(f"  {what}: {verdict}, as expected\n" +
                      "".join(f"    {line}\n" for line in check.stdout.splitlines()
                              if not passed or line.startswith("calling")))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(f"calling convention check, self-test: {len(PROBE_CASES) - failures} of "
          f"{len(PROBE_CASES)} probes judged right")
    if failures:
        sys.exit(1)
    if args.stamp:
        with open(args.stamp, "w") as out:
            out.write("ok\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)

    p = commands.add_parser("derive", help="list (or with --out, write) the decorated exports")
    p.add_argument("--arch", choices=sorted(ARCHES), required=True)
    p.add_argument("--include", required=True, help="the public include directory")
    p.add_argument("--header", default="velhalyxapi_r2.h")
    p.add_argument("--exports", required=True, help="scripts/expected-exports.txt")
    p.add_argument("--clang")
    p.add_argument("--llvm-nm")
    p.add_argument("--cxx", help="the mingw C++ compiler that builds the DLL")
    p.add_argument("--out", help="directory for the build's files")
    p.set_defaults(run=derive)

    p = commands.add_parser("check-convention", help="disassembly check of a built DLL")
    p.add_argument("dll")
    p.add_argument("--objdump")
    p.add_argument("--llvm-undname")
    p.add_argument("--nm", help="GNU nm of the mingw toolchain")
    p.add_argument("--stamp")
    p.add_argument("-v", "--verbose", action="store_true")
    p.set_defaults(run=check_convention)

    p = commands.add_parser("check-imports", help="a program's imports against a DLL's exports")
    p.add_argument("program")
    p.add_argument("dll")
    p.add_argument("--objdump")
    p.add_argument("--stamp")
    p.set_defaults(run=check_imports)

    p = commands.add_parser("self-test", help="check-convention against broken probes")
    p.add_argument("--cxx", help="the i686 mingw C++ compiler")
    p.add_argument("--objdump")
    p.add_argument("--nm")
    p.add_argument("--stamp")
    p.add_argument("-v", "--verbose", action="store_true")
    p.set_defaults(run=self_test)

    args = parser.parse_args()
    args.run(args)


if __name__ == "__main__":
    main()
