#!/usr/bin/env python3
"""Writes the wheel of the veltrane package from its built folder.

    make_wheel.py --version V --package DIR --readme README.md --license LICENSE --out DIR

DIR holds the package as the build makes it (__init__.py, the stub, py.typed
and the extension module). The wheel is for the interpreter that runs this
script and its platform (veltrane-1.0.0-cp311-cp311-linux_x86_64.whl under
Debian 12's Python on x86-64); wheel's WheelFile writes the RECORD with each
file's hash. Prints the wheel's path.
"""

import argparse
import glob
import os
import sys
import sysconfig

from wheel.wheelfile import WheelFile

SUMMARY = "Real numerals converted between bases 2 to 36 on x87 80-bit truncating arithmetic"


def main():
    parser = argparse.ArgumentParser()
    for option in ("--version", "--package", "--readme", "--license", "--out"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()

    tag_python = f"cp{sys.version_info.major}{sys.version_info.minor}"
    platform = sysconfig.get_platform().replace("-", "_").replace(".", "_")
    tag = f"{tag_python}-{tag_python}-{platform}"
    modules = glob.glob(os.path.join(args.package, f"_veltrane.{sys.implementation.cache_tag}*.so"))
    if len(modules) != 1:
        sys.exit(f"make_wheel.py: expected one _veltrane module for {tag_python} in {args.package}")

    name = f"veltrane-{args.version}"
    dist_info = f"{name}.dist-info"
    with open(args.readme, encoding="utf-8") as f:
        readme = f.read()
    metadata = "\n".join([
        "Metadata-Version: 2.1",
        "Name: veltrane",
        f"Version: {args.version}",
        f"Summary: {SUMMARY}",
        "License: MIT",
        "Requires-Python: ==3.11.*",
        "Provides-Extra: numpy",
        "Requires-Dist: numpy ; extra == 'numpy'",
        "Classifier: License :: OSI Approved :: MIT License",
        "Classifier: Programming Language :: Python :: 3.11",
        "Classifier: Typing :: Typed",
        "Description-Content-Type: text/markdown",
        "",
        readme,
    ])
    wheel_text = "\n".join([
        "Wheel-Version: 1.0",
        "Generator: veltrane make_wheel.py",
        "Root-Is-Purelib: false",
        f"Tag: {tag}",
        "",
    ])

    os.makedirs(args.out, exist_ok=True)
    path = os.path.join(args.out, f"{name}-{tag}.whl")
    with WheelFile(path, "w") as wheel:
        for file in ("__init__.py", "__init__.pyi", "py.typed", os.path.basename(modules[0])):
            wheel.write(os.path.join(args.package, file), f"veltrane/{file}")
        wheel.write(args.license, f"{dist_info}/LICENSE")
        wheel.writestr(f"{dist_info}/METADATA", metadata)
        wheel.writestr(f"{dist_info}/WHEEL", wheel_text)
        wheel.writestr(f"{dist_info}/top_level.txt", "veltrane\n")
    print(path)


if __name__ == "__main__":
    main()
