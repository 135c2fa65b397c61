#!/usr/bin/env python3
"""Checks the Windows zip: one folder named after the zip holding exactly the
VST 2.4 DLL, the VST3 bundle, the CLAP plug-in, the command-line host, the
factory bank and the manual with every one of its pictures, each file the
same bytes as the one the build made (or the source holds).

usage: check_zip.py ZIP WINDOWS_BUILD SOURCE
Prints what it found; exits 1 when anything is missing, extra or different.
"""
import os
import sys
import zipfile


def main():
    path, build, source = sys.argv[1:4]
    top = os.path.basename(path)[:-len(".zip")]
    expected = {
        "Tarvel.dll": os.path.join(build, "Tarvel.dll"),
        "Tarvel.vst3/Contents/x86_64-win/Tarvel.vst3": os.path.join(
            build, "vst3", "Tarvel.vst3", "Contents", "x86_64-win", "Tarvel.vst3"),
        "Tarvel.clap": os.path.join(build, "clap", "Tarvel.clap"),
        "tarvel-host.exe": os.path.join(build, "tarvel-host.exe"),
        "factory.fxb": os.path.join(source, "examples", "factory.fxb"),
        "manual.md": os.path.join(source, "docs", "manual.md"),
    }
    images = os.path.join(source, "docs", "images")
    for name in sorted(os.listdir(images)):
        if name.endswith(".png"):
            expected["images/" + name] = os.path.join(images, name)

    problems = []
    with zipfile.ZipFile(path) as archive:
        if archive.testzip() is not None:
            problems.append("a damaged member")
        files = {}
        for info in archive.infolist():
            if info.is_dir():
                continue
            if not info.filename.startswith(top + "/"):
                problems.append(f"{info.filename} outside the folder {top}/")
                continue
            files[info.filename[len(top) + 1:]] = archive.read(info)
    for name in sorted(set(expected) - set(files)):
        problems.append(f"missing {name}")
    for name in sorted(set(files) - set(expected)):
        problems.append(f"unexpected {name}")
    for name in sorted(set(files) & set(expected)):
        with open(expected[name], "rb") as f:
            if f.read() != files[name]:
                problems.append(f"{name} differs from {expected[name]}")
    if problems:
        print("; ".join(problems))
        return 1
    print(f"{len(files)} files in {top}/, each as built")
    return 0


if __name__ == "__main__":
    sys.exit(main())
