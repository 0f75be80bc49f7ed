"""The filter workbench: a page in the browser that shows a picture, its spectrum and the
filtered result side by side, where filters are added by a click on a peak of the
spectrum, proposed by the library's own pattern search or edited as numbers and sliders,
and the chain is taken away as a PNG, an archive that C++ loads (vxArchive), a Python
snippet and a command line.

    python3 -m vxfreq.workbench [PICTURE]      (or: vxfreq-workbench [PICTURE])

starts a web server on 127.0.0.1 with a random token in its URL, prints the URL and
opens a browser where there is one. `vxfreq-workbench apply` filters a picture file with
a chain given as --filter options or as an archive (--chain). See the guide's page
docs/guide/workbench.md.

find_patterns() is the library's pattern search (C++ vfFindPatterns) on its own.
"""

from .analysis import find_patterns
from .images import PictureError, read_picture, write_picture

__all__ = ["find_patterns", "read_picture", "write_picture", "PictureError", "main"]


def main(argv=None):
    """The command line: see the module's description and --help."""
    from .__main__ import main as run
    return run(argv)
