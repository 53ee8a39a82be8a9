#!/usr/bin/env python3
"""Installs the build into a temporary prefix (cmake --install) and checks the
editor's desktop integration there: the yel-studio link runs, the desktop
entry opens .yel files with it, the icon is where the entry names it, and the
MIME database built from the installed type maps *.yel to that type; the
Ruffle player that HTML pages are published with is in the program's folder.

Usage: studio_install_check.py BUILD_DIR
"""

import configparser
import pathlib
import shutil
import subprocess
import sys
import tempfile


def main():
    build = pathlib.Path(sys.argv[1])
    problems = []
    with tempfile.TemporaryDirectory() as temp:
        prefix = pathlib.Path(temp)
        subprocess.run(["cmake", "--install", str(build), "--prefix", str(prefix)], check=True,
                       stdout=subprocess.DEVNULL)
        studio = prefix / "bin" / "yel-studio"
        if not studio.is_symlink() or not studio.resolve().is_file():
            problems.append(f"{studio} is not a link to the installed program")
        else:
            run = subprocess.run([str(studio), "--help"], capture_output=True, text=True)
            if run.returncode != 0 or "yel-studio" not in run.stdout:
                problems.append(f"yel-studio --help failed: {run.returncode} {run.stderr}")

            player = studio.resolve().parent / "ruffle"
            if not (player / "ruffle.js").is_file() or not list(player.glob("*.wasm")):
                problems.append(f"the Ruffle player is not installed in {player}")

        entry_file = prefix / "share" / "applications" / "yel-studio.desktop"
        entry = configparser.ConfigParser(interpolation=None)
        entry.optionxform = str
        entry.read(entry_file)
        desktop = entry["Desktop Entry"] if entry.has_section("Desktop Entry") else {}
        mime_type = "application/x-yel-album"
        expected = {"Type": "Application", "Exec": "yel-studio %f", "Icon": "yel-studio"}
        for key, value in expected.items():
            if desktop.get(key) != value:
                problems.append(f"{entry_file.name}: {key} is {desktop.get(key)!r}, not {value!r}")
        if mime_type not in desktop.get("MimeType", "").split(";"):
            problems.append(f"{entry_file.name}: MimeType does not list {mime_type}")

        icon = prefix / "share" / "icons" / "hicolor" / "scalable" / "apps" / "yel-studio.svg"
        if not icon.is_file() or b"<svg" not in icon.read_bytes():
            problems.append(f"no icon at {icon}")

        mime = prefix / "share" / "mime"
        if not (mime / "packages" / "yel-studio.xml").is_file():
            problems.append("the MIME type of project files is not installed")
        elif shutil.which("update-mime-database"):
            subprocess.run(["update-mime-database", str(mime)], check=True, capture_output=True)
            globs = (mime / "globs2").read_text()
            if f"{mime_type}:*.yel" not in globs:
                problems.append(f"the MIME database does not map *.yel to {mime_type}")

    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
