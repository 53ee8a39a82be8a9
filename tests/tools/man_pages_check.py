#!/usr/bin/env python3
"""The manual pages against the programs: every command that `yel --help`
lists, every form of a command that its --help shows (`yel project new`),
and every option that `yel COMMAND --help`, `yel-studio --help` and
`yel-player --help` print must appear in the page of its program, so that
the pages and the programs stay together. The pages must also format
without a warning (groff -ww).

Usage: man_pages_check.py YEL YEL_STUDIO YEL_PLAYER MAN_FOLDER
"""
import os
import re
import shutil
import subprocess
import sys

OPTION = re.compile(r"(?<![\w-])(--?[A-Za-z][A-Za-z0-9-]*)")


def help_text(program, *args):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    run = subprocess.run([program, *args, "--help"], capture_output=True, text=True, env=env, timeout=120)
    if run.returncode != 0:
        sys.exit(f"{program} {' '.join(args)} --help: exit status {run.returncode}\n{run.stderr}")
    return run.stdout


def page_text(path):
    """The page's text with troff's escapes of the characters options use
    (\\- for -, font changes) taken away."""
    with open(path, encoding="utf-8") as page:
        text = page.read()
    text = text.replace("\\-", "-").replace("\\e", "\\")
    text = re.sub(r"\\f[BIRP]|\\f\(..|\\fC[BIRW]?", "", text)
    return text


def appears(word, text):
    return re.search(r"(?<![\w-])" + re.escape(word) + r"(?![\w-])", text) is not None


def main():
    yel, studio, player, folder = sys.argv[1:5]
    missing = []

    def need(words, page_name, where):
        text = page_text(os.path.join(folder, page_name))
        for word in sorted(set(words)):
            if not appears(word, text):
                missing.append(f"{page_name}: {word} ({where})")

    top = help_text(yel)
    commands = re.findall(r"^  ([a-z][a-z-]*)\s", top.split("Commands:", 1)[1], re.M)
    if not commands:
        sys.exit("yel --help lists no commands")
    need(OPTION.findall(top), "yel.1", "yel --help")
    yel_page = page_text(os.path.join(folder, "yel.1"))
    for command in commands:
        text = help_text(yel, command)
        if not re.search(r"yel " + re.escape(command) + r"(?![\w-])", yel_page):
            missing.append(f"yel.1: the command yel {command}")
        # Forms of the command, such as `yel project new`.
        for form in sorted(set(re.findall(r"yel " + re.escape(command) + r" ([a-z][a-z-]*)", text))):
            if not re.search(r"yel " + re.escape(command) + " " + re.escape(form) + r"(?![\w-])", yel_page):
                missing.append(f"yel.1: yel {command} {form}")
        need(OPTION.findall(text), "yel.1", f"yel {command} --help")
    need(OPTION.findall(help_text(studio)), "yel-studio.1", "yel-studio --help")
    need(OPTION.findall(help_text(player)), "yel-player.1", "yel-player --help")

    if shutil.which("groff"):
        for name in ("yel.1", "yel-studio.1", "yel-player.1"):
            run = subprocess.run(["groff", "-man", "-Tutf8", "-ww", "-z", os.path.join(folder, name)],
                                 capture_output=True, text=True)
            if run.returncode != 0 or run.stderr.strip():
                missing.append(f"{name}: groff warns: {run.stderr.strip()}")
    else:
        missing.append("groff is not installed (scripts/setup installs groff-base)")

    if missing:
        print("The manual pages lack what the programs' --help prints:\n  " + "\n  ".join(missing))
        return 1
    print(f"man pages: {len(commands)} commands of yel and every option of the three programs are described")
    return 0


if __name__ == "__main__":
    sys.exit(main())
