"""The README's section "Use it as a library" quotes the examples exactly:
its ```c block is examples/convert.c, its ```cpp block examples/convert.cpp
(the files that the consumer tests build and run), and its ```text blocks
are what they print (tests/consumer/convert_c.expected, convert_cpp.expected).

    python3 readme_examples.py REPOSITORY
"""
import re
import sys
from pathlib import Path


def section(readme, title):
    match = re.search(r"^## " + re.escape(title) + r"\n(.*?)(?=^## |\Z)", readme, re.M | re.S)
    if not match:
        raise SystemExit(f'README.md has no section "## {title}"')
    return match.group(1)


def blocks(text, language):
    return [m.group(1) for m in re.finditer(r"^```" + language + r"\n(.*?)^```$", text, re.M | re.S)]


def main():
    repo = Path(sys.argv[1])
    text = section((repo / "README.md").read_text(), "Use it as a library")
    expected = {
        "c": [(repo / "examples/convert.c").read_text()],
        "cpp": [(repo / "examples/convert.cpp").read_text()],
        "text": [(repo / "tests/consumer" / name).read_text()
                 for name in ("convert_c.expected", "convert_cpp.expected")],
    }
    failures = 0
    for language, files in expected.items():
        quoted = blocks(text, language)
        if quoted != files:
            failures += 1
            print(f"the ```{language} blocks ({len(quoted)}) are not the {len(files)} files'"
                  " text, in order")
    if failures:
        raise SystemExit(1)
    print("the README quotes both examples and their output exactly")


main()
