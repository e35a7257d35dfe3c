"""The files an install lays down, relative to its prefix, and what each one is.
A desktop finds the program through these paths, so they are fixed here rather
than read back from the build."""

APP_ID = "io.github.vellomarin.Vellomarin"
ICON_SIZES = [16, 32, 48, 64, 128, 256]

FILES = {
    "bin/vellomarin": "program",
    "libexec/vellomarin/vellomarin-wake": "wake helper",
    "share/applications/vellomarin.desktop": "desktop entry",
    f"share/metainfo/{APP_ID}.metainfo.xml": "metainfo",
    "share/icons/hicolor/scalable/apps/vellomarin.svg": "icon",
    "share/man/man1/vellomarin.1.gz": "manual page",
    "share/doc/vellomarin/copyright": "copyright",
    "share/doc/vellomarin/changelog.gz": "changelog",
    **{f"share/icons/hicolor/{n}x{n}/apps/vellomarin.png": "icon" for n in ICON_SIZES},
}


def png_size(path):
    """Width and height from a PNG's header chunk."""
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        raise ValueError(f"{path} is not a PNG")
    return int.from_bytes(head[16:20], "big"), int.from_bytes(head[20:24], "big")
