"""Runs the examples that README.md and doc/*.md mark as runnable, so that the
pages cannot drift from what the build does. A fence is runnable when the
line before it is an HTML comment naming its kind and, after the kind, the
arguments to run it with:

  <!-- example: session -->          a shell session: each `$ ` line is run
                                     by bash, and the session as printed must
                                     be byte for byte what the commands print
  <!-- example: c ARGS -->           a C program, compiled against libls11
  <!-- example: python ARGS -->      a Python program, run with the module
  <!-- example: javascript ARGS -->  an ES module, run in Node with ls11kit
  <!-- example: output -->           what the example before it prints

Every example runs in a fresh folder holding a copy of samples/ and the
tools at build/default/, where the README's session finds them; a session
finds them on PATH too, as they are once installed. A program
must exit with 0 and, when an output block follows it, print that block.

  doc_examples.py --source DIR --kind KIND [--unls11 P --ls11 P] [--cc CC
      --library LIB] [--python PY --python-path DIR] [--node NODE
      --js-package DIR]
"""
import argparse
import difflib
import os
import pathlib
import re
import shlex
import shutil
import subprocess
import sys
import tempfile

MARKER = re.compile(r"^<!-- example: (\w+)(.*?) -->$")
FENCE = re.compile(r"^(```+|~~~+)")


def examples(page):
    """(line, kind, arguments, text, expected output or None) of each example."""
    lines = page.read_text(encoding="utf-8").split("\n")
    found = []
    i = 0
    while i < len(lines):
        marker = MARKER.match(lines[i])
        fence = FENCE.match(lines[i + 1]) if marker and i + 1 < len(lines) else None
        if marker and not fence:
            sys.exit(f"{page}:{i + 1}: an example marker must come right before a fence")
        if not marker:
            i += 1
            continue
        end = next((j for j in range(i + 2, len(lines)) if lines[j] == fence.group(1)), None)
        if end is None:
            sys.exit(f"{page}:{i + 1}: the example's fence is never closed")
        text = "\n".join(lines[i + 2 : end]) + "\n"
        kind, arguments = marker.group(1), shlex.split(marker.group(2))
        if kind == "output":
            if not found or found[-1][4] is not None:
                sys.exit(f"{page}:{i + 1}: an output block must follow an example")
            found[-1] = found[-1][:4] + (text,)
        else:
            found.append((i + 1, kind, arguments, text, None))
        i = end + 1
    return found


def session_script(text):
    """The bash script that replays a session, printing its prompts too."""
    script = ["exec 2>&1"]
    for line in text.splitlines():
        if line.startswith("$ "):
            script.append(f"printf '%s\\n' {shlex.quote(line)}")
            script.append(line[2:])
    return "\n".join(script) + "\n"


def run_example(kind, arguments, text, options, folder):
    """What the example printed, or raises CalledProcessError."""
    env = dict(os.environ)
    if kind == "session":
        env["PATH"] = f"{folder / 'build' / 'default'}{os.pathsep}{env['PATH']}"
        command = ["bash", "-c", session_script(text)]
        check = False  # a session may show a failing command; its output says so
    elif kind == "c":
        (folder / "example.c").write_text(text)
        library = pathlib.Path(options.library).resolve()
        subprocess.run([options.cc, "-std=c99", "-Wall", "-Werror", f"-I{options.source}/include",
                        "example.c", str(library), f"-Wl,-rpath,{library.parent}", "-o", "example"],
                       cwd=folder, check=True)
        command, check = ["./example"], True
    elif kind == "python":
        (folder / "example.py").write_text(text)
        env.update(PYTHONPATH=options.python_path, LS11_LIBRARY=options.library,
                   PYTHONDONTWRITEBYTECODE="1")
        command, check = [options.python, "example.py"], True
    elif kind == "javascript":
        (folder / "example.mjs").write_text(text)
        (folder / "node_modules").mkdir()
        (folder / "node_modules" / "ls11kit").symlink_to(pathlib.Path(options.js_package).resolve())
        command, check = [options.node, "example.mjs"], True
    else:
        raise ValueError(kind)
    return subprocess.run(command + arguments, cwd=folder, env=env, check=check,
                          stdout=subprocess.PIPE).stdout.decode("utf-8", "replace")


def main():
    parser = argparse.ArgumentParser()
    for name in ("source", "kind", "unls11", "ls11", "cc", "library", "python", "python-path", "node",
                 "js-package"):
        parser.add_argument("--" + name)
    options = parser.parse_args()
    source = pathlib.Path(options.source)
    pages = [source / "README.md"] + sorted((source / "doc").glob("*.md"))
    failures = checked = 0
    for page in pages:
        for line, kind, arguments, text, expected in examples(page):
            if kind != options.kind:
                continue
            where = f"{page.relative_to(source)}:{line}"
            with tempfile.TemporaryDirectory() as temporary:
                folder = pathlib.Path(temporary)
                shutil.copytree(source / "samples", folder / "samples")
                tools = folder / "build" / "default"
                tools.mkdir(parents=True)
                for tool in ("unls11", "ls11"):
                    if getattr(options, tool):
                        (tools / tool).symlink_to(pathlib.Path(getattr(options, tool)).resolve())
                if kind == "session":
                    expected = text
                try:
                    printed = run_example(kind, arguments, text, options, folder)
                except subprocess.CalledProcessError as error:
                    print(f"{where}: the {kind} example failed: {error}")
                    failures += 1
                    continue
            checked += 1
            if expected is not None and printed != expected:
                failures += 1
                print(f"{where}: the {kind} example printed what the page does not show:")
                sys.stdout.writelines(difflib.unified_diff(expected.splitlines(True), printed.splitlines(True),
                                                           "the page", "printed"))
            else:
                print(f"{where}: {kind} example OK")
    if checked + failures == 0:
        sys.exit(f"no {options.kind} example found in README.md or doc/*.md")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
