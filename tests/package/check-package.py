#!/usr/bin/python3
"""Checks the release that scripts/package wrote into dist/, the way a technician and a
debugger meet it: the archive's members, the checksums, and the shipped program itself (a
stripped 32-bit GUI program that needs nothing beyond Windows and the maker's status library,
with its version block and every user text of the string table), and every program's manifest.
   check-package.py [ROOT]      (ROOT: the source tree, default: this script's tree)"""
import hashlib
import pathlib
import re
import sys
import xml.etree.ElementTree as ElementTree
import zipfile
import zlib

import pefile

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else __file__).resolve()
if root.is_file():
    root = root.parents[2]
dist = root / "dist"
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
    return condition


version = re.search(r"project\(Sarnok VERSION ([0-9.]+)", (root / "CMakeLists.txt").read_text())[1]
archive_path = dist / f"Brelwin-{version}-win32.zip"
if not archive_path.is_file():
    sys.exit(f"FAIL: {archive_path} missing (run scripts/package)")

# Every program the archive holds; the three named here must be among them.
archive = zipfile.ZipFile(archive_path)
names = archive.namelist()
programs = sorted(n[:-4] for n in names if n.lower().endswith(".exe"))
check({"Sarnok", "SarnokCheck", "SarnokDeploy"} <= set(programs), f"programs {programs}")

expected = [f"{p}.exe" for p in programs] + ["README.txt", "Guide.html", "firmwareInfo.example.ini"]
check(archive.testzip() is None, "a member's CRC does not match")
check(sorted(names) == sorted(expected), f"members {names}, expected {expected}")

# Checksums: every line matches its file, and the archive and each symbol file are listed.
sums = {}
for line in (dist / "SHA256SUMS").read_text().splitlines():
    digest, name = line.split(maxsplit=1)
    sums[name.lstrip("*")] = digest
    check(hashlib.sha256((dist / name.lstrip("*")).read_bytes()).hexdigest() == digest,
          f"SHA256SUMS: {name} does not match")
for name in [archive_path.name] + [f"{p}.exe.debug" for p in programs]:
    check(name in sums, f"SHA256SUMS does not list {name}")

# Texts for Notepad: CRLF only; the guide carries its pictures inside.
for name in ("README.txt", "firmwareInfo.example.ini"):
    if name in names:
        text = archive.read(name)
        check(text.count(b"\n") > 0 and text.count(b"\n") == text.count(b"\r\n"),
              f"{name}: not CRLF throughout")
if "Guide.html" in names:
    page = archive.read("Guide.html").decode("utf-8")
    pictures = re.findall(r"<img\s[^>]*src=\"([^\"]*)\"", page)
    check(len(pictures) >= 9, f"Guide.html: {len(pictures)} pictures")
    check(all(p.startswith("data:image/png;base64,") for p in pictures),
          "Guide.html: a picture is not embedded")
if "firmwareInfo.example.ini" in names:
    example = archive.read("firmwareInfo.example.ini").decode("ascii")
    for key in ("Filename", "Version", "IntermediateFileName", "IntermediateVersion", "Sha256",
                "IntermediateSha256"):
        check(re.search(rf"^{key}=", example, re.M), f"firmwareInfo.example.ini: no {key}=")

# The user texts as the one resource script writes them, by the ids of resource.h.
ids = dict(re.findall(r"#define (IDS_\w+) (\d+)", (root / "src/res/resource.h").read_text()))
script = (root / "src/res/StringTable.rc2").read_text("utf-8")
table = {int(ids[name]): text.replace('""', '"').replace("\\n", "\n")
         for name, text in re.findall(r'^\s*(IDS_\w+)\s+"((?:[^"]|"")*)"\s*$', script, re.M)}
check(set(range(101, 127)) <= set(table), f"StringTable.rc2: texts read for {sorted(table)}")


def string_table(pe):
    texts = {}
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id != pefile.RESOURCE_TYPE["RT_STRING"]:
            continue
        for block in kind.directory.entries:
            for language in block.directory.entries:
                data = pe.get_data(language.data.struct.OffsetToData, language.data.struct.Size)
                offset = 0
                for index in range(16):
                    length = int.from_bytes(data[offset:offset + 2], "little")
                    text = data[offset + 2:offset + 2 + 2 * length].decode("utf-16-le")
                    offset += 2 + 2 * length
                    if length:
                        texts[(block.id - 1) * 16 + index] = text
    return texts


def message_ids(pe):
    """The ids of the Event Log message table (RT_MESSAGETABLE), with their texts."""
    messages = {}
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id != pefile.RESOURCE_TYPE["RT_MESSAGETABLE"]:
            continue
        for table in kind.directory.entries:
            for language in table.directory.entries:
                data = pe.get_data(language.data.struct.OffsetToData, language.data.struct.Size)
                for block in range(int.from_bytes(data[0:4], "little")):
                    low, high, offset = (int.from_bytes(data[4 + 12 * block + 4 * i:][:4], "little")
                                         for i in range(3))
                    for message in range(low, high + 1):
                        length = int.from_bytes(data[offset:offset + 2], "little")
                        unicode = int.from_bytes(data[offset + 2:offset + 4], "little") & 1
                        text = data[offset + 4:offset + length]
                        messages[message] = text.decode("utf-16-le" if unicode else "cp1252")
                        offset += length
    return messages


def section_names(pe, image):
    """Section names, with the long ones ("/4") read from the COFF string table."""
    table = pe.FILE_HEADER.PointerToSymbolTable + 18 * pe.FILE_HEADER.NumberOfSymbols
    names = []
    for section in pe.sections:
        name = section.Name.rstrip(b"\0").decode()
        if name.startswith("/") and pe.FILE_HEADER.PointerToSymbolTable:
            start = table + int(name[1:])
            name = image[start:image.index(b"\0", start)].decode()
        names.append(name)
    return names


def manifest(pe):
    """The text of the manifest Windows reads when it starts the program (resource 24, id 1)."""
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id != pefile.RESOURCE_TYPE["RT_MANIFEST"]:
            continue
        for entry in kind.directory.entries:
            if entry.id == 1:
                language = entry.directory.entries[0]
                return pe.get_data(language.data.struct.OffsetToData,
                                   language.data.struct.Size).decode("utf-8")
    return None


WINDOWS_VERSIONS = {"Vista": "{e2011457-1546-43c5-a5fe-008deee3d3f0}",
                    "7": "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                    "8": "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                    "8.1": "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                    "10 and 11": "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}


def check_manifest(name, text):
    """Version from the project, the supported Windows versions, per-monitor DPI awareness with
    its older form, common controls 6 and asInvoker."""
    try:
        root_element = ElementTree.fromstring(text)
    except ElementTree.ParseError as error:
        check(False, f"{name}: manifest is not well-formed XML: {error}")
        return
    v1 = "{urn:schemas-microsoft-com:asm.v1}"
    v3 = "{urn:schemas-microsoft-com:asm.v3}"
    identity = root_element.find(f"{v1}assemblyIdentity")
    check(identity is not None and identity.get("version") == version,
          f"{name}: manifest version {identity.get('version') if identity is not None else None}")
    compatibility = "{urn:schemas-microsoft-com:compatibility.v1}"
    declared = {e.get("Id").lower() for e in root_element.iter(f"{compatibility}supportedOS")}
    for windows, guid in WINDOWS_VERSIONS.items():
        check(guid in declared, f"{name}: manifest does not declare Windows {windows}")
    awareness = root_element.findtext(
        f"{v3}application/{v3}windowsSettings/"
        "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}dpiAwareness")
    check(awareness is not None and
          [a.strip() for a in awareness.split(",")] == ["PerMonitorV2", "System"],
          f"{name}: manifest dpiAwareness {awareness!r}")
    aware = root_element.findtext(
        f"{v3}application/{v3}windowsSettings/"
        "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}dpiAware")
    check(aware is not None and aware.strip().lower() == "true",
          f"{name}: manifest dpiAware {aware!r}")
    controls = [e for e in root_element.iter(f"{v1}assemblyIdentity")
                if e.get("name") == "Microsoft.Windows.Common-Controls"]
    check(len(controls) == 1 and controls[0].get("version") == "6.0.0.0" and
          controls[0].get("publicKeyToken") == "6595b64144ccf1df",
          f"{name}: manifest does not ask for common controls 6")
    levels = [e.get("level") for e in root_element.iter(f"{v3}requestedExecutionLevel")]
    check(levels == ["asInvoker"], f"{name}: manifest execution level {levels}")


system_dlls = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "comdlg32.dll",
               "shlwapi.dll", "shell32.dll", "winspool.drv", "version.dll", "ole32.dll",
               "oleaut32.dll", "advapi32.dll", "msvcrt.dll", "bcrypt.dll"}
for program in programs:
    name = f"{program}.exe"
    if name not in names:
        continue
    image = archive.read(name)
    pe = pefile.PE(data=image)
    check(pe.FILE_HEADER.Machine == 0x14C, f"{name}: machine {pe.FILE_HEADER.Machine:#x}, not i386")
    check(pe.OPTIONAL_HEADER.Magic == 0x10B, f"{name}: not PE32")
    # The dialog is a GUI program, the checker and the deployment console are console ones.
    subsystem = 2 if program == "Sarnok" else 3
    check(pe.OPTIONAL_HEADER.Subsystem == subsystem,
          f"{name}: subsystem {pe.OPTIONAL_HEADER.Subsystem}, not {subsystem}")
    check(pe.FILE_HEADER.TimeDateStamp == 0, f"{name}: time stamp {pe.FILE_HEADER.TimeDateStamp}")
    sections = section_names(pe, image)
    check(not [s for s in sections if s.startswith((".debug", ".zdebug", "/"))],
          f"{name}: debug sections {sections}")
    check(pe.FILE_HEADER.NumberOfSymbols == 0, f"{name}: carries symbols")
    imports = {entry.dll.decode().lower() for entry in pe.DIRECTORY_ENTRY_IMPORT}
    # The checker reads files only; the dialog and the deployment console reach the printers.
    # The console loads the status library when it runs, so that a workstation without it
    # gets an answer instead of a loader's error.
    allowed = system_dlls | ({"orn_api.dll"} if program == "Sarnok" else set())
    check(imports <= allowed, f"{name}: imports {sorted(imports - allowed)}")
    text = manifest(pe)
    if check(text is not None, f"{name}: no manifest"):
        check_manifest(name, text)
    # The debug link names the symbol file beside the archive and carries its CRC.
    link = next((s for s, n in zip(pe.sections, sections) if n == ".gnu_debuglink"), None)
    if check(link is not None, f"{name}: no debug link"):
        data = link.get_data()
        linked = data[:data.index(b"\0")].decode()
        crc = int.from_bytes(data[(len(linked) + 4) & ~3:][:4], "little")
        symbols = dist / linked
        if check(linked == f"{name}.debug" and symbols.is_file(), f"{name}: links {linked}"):
            check(zlib.crc32(symbols.read_bytes()) == crc, f"{name}: debug link CRC differs")
            debug_image = symbols.read_bytes()
            debug = pefile.PE(data=debug_image, fast_load=True)
            check(".debug_info" in section_names(debug, debug_image),
                  f"{linked}: no debug information")
    if program == "SarnokCheck":
        continue
    # The deployment console writes the dialog's own texts, from its own copy of the table.
    check(string_table(pe) == table, f"{name}: string table differs from StringTable.rc2")
    # Both programs report to the Event Log under one source, with one message table.
    events = message_ids(pe)
    check(set(range(1000, 1005)) <= set(events), f"{name}: message table ids {sorted(events)}")
    check("%1" in events.get(1000, ""), f"{name}: event 1000 has no insertion strings")
    info = {}
    for file_info in pe.FileInfo[0] if hasattr(pe, "FileInfo") else []:
        for block in getattr(file_info, "StringTable", []):
            info.update({k.decode(): v.decode() for k, v in block.entries.items()})
    description = "Brelwin" if program == "Sarnok" else "Brelwin firmware deployment"
    for key, value in {"FileVersion": version, "ProductVersion": version,
                       "ProductName": "Brelwin", "FileDescription": description,
                       "OriginalFilename": name, "InternalName": name}.items():
        check(info.get(key) == value, f"{name}: version block {key} = {info.get(key)!r}")
    fixed = pe.VS_FIXEDFILEINFO[0]
    numbers = [int(n) for n in version.split(".")]
    check([fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF, fixed.FileVersionLS >> 16,
           fixed.FileVersionLS & 0xFFFF] == numbers, f"{name}: fixed file version differs")
    check([fixed.ProductVersionMS >> 16, fixed.ProductVersionMS & 0xFFFF,
           fixed.ProductVersionLS >> 16, fixed.ProductVersionLS & 0xFFFF] == numbers,
          f"{name}: fixed product version differs")

for failure in failures:
    print("FAIL:", failure)
if failures:
    sys.exit(1)
print(f"{archive_path.name}: {len(names)} members, checksums, {', '.join(programs)} checked")
