#!/usr/bin/env python3
"""Writes the stand-in firmware images that the simulated target recognises.

Each image starts with an 8051 LJMP to its own entry, carries its name as an
ASCII tag, and is filled with a deterministic byte pattern derived from the
name, so that every image is distinct, non-blank and has no erased (FFh) run
long enough to be mistaken for blank flash. Run it only to regenerate the
images; the build embeds the .bin files as they are.
"""
import hashlib
import pathlib

IMAGES = {
    "legacy_installer.bin": 1280,
    "block1_programmer_kt400.bin": 368,
    "block1_programmer_kt500.bin": 368,
    "bank_helper.bin": 368,
    "external_loader.bin": 1152,
    "probex_kt410_block0.bin": 4096,
    "probex_kt410_block1.bin": 1024,
    "probex_kt420_block0.bin": 4096,
    "probex_kt420_block1.bin": 1024,
    "probex_kt540.bin": 4096,
    "probex_kt530.bin": 4096,
    "probex_kt570.bin": 4096,
}


def image(name: str, size: int) -> bytes:
    tag = ("SIM " + name.removesuffix(".bin")).encode("ascii") + b"\0"
    body = bytearray()
    seed = name.encode("ascii")
    while len(body) < size:
        seed = hashlib.sha256(seed).digest()
        body.extend(b if b != 0xFF else 0x7E for b in seed)
    data = bytearray([0x02, 0x20, 0x27]) + tag + body
    return bytes(data[:size])


def main() -> None:
    here = pathlib.Path(__file__).resolve().parent
    for name, size in IMAGES.items():
        (here / name).write_bytes(image(name, size))


if __name__ == "__main__":
    main()
