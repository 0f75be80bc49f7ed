"""python3 -m vxfreq.workbench [PICTURE] [options] | apply [options] PICTURE OUTPUT"""

import argparse
import atexit
import importlib
import os
import sys
import webbrowser

import vxfreq

from . import chain, images

_USAGE_APPLY = "vxfreq-workbench apply"


def _open(path, limit):
    with open(path, "rb") as f:
        head = f.read(limit + limit // 64 + (1 << 20) + 1)
    return images.read_picture(head, limit)


def _serve(argv):
    from .server import Server, Workbench

    parser = argparse.ArgumentParser(
        prog="vxfreq-workbench",
        description="The filter workbench: a page in the browser to choose frequency-domain "
                    "filters on a picture's spectrum. Serves on 127.0.0.1 only; the URL "
                    "carries a random token. `vxfreq-workbench apply --help`: filtering "
                    "a file from the command line.")
    parser.add_argument("picture", nargs="?", help="a PNG, PGM or PPM picture to open")
    parser.add_argument("--port", type=int, default=0, help="the port (default: a free one)")
    parser.add_argument("--no-browser", action="store_true", help="do not open a browser")
    parser.add_argument("--limit-mb", type=float, default=images.DEFAULT_LIMIT / 2**20,
                        help="the largest picture opened, in MB of decoded pixels "
                             "(default %(default)g)")
    parser.add_argument("--verbose", action="store_true", help="log every request")
    args = parser.parse_args(argv)
    limit = int(args.limit_mb * 2**20)
    bench = Workbench(limit=limit)
    if args.picture:
        try:
            pixels = _open(args.picture, limit)
        except (OSError, images.PictureError) as e:
            print("vxfreq-workbench: cannot open '%s': %s" % (args.picture, e), file=sys.stderr)
            return 1
        bench.first = bench.add_picture(os.path.basename(args.picture), pixels)
    try:
        server = Server(bench, args.port, args.verbose)
    except OSError as e:
        print("vxfreq-workbench: cannot listen on 127.0.0.1:%d: %s" % (args.port, e),
              file=sys.stderr)
        return 1
    url = server.url()
    print("vxfreq workbench: %s" % url, flush=True)
    print("(Ctrl-C stops it)", flush=True)
    if not args.no_browser:
        try:
            webbrowser.open(url)
        except webbrowser.Error:
            pass
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
    return 0


def _apply(argv):
    parser = argparse.ArgumentParser(
        prog=_USAGE_APPLY,
        description="Filters a picture file with a chain of filters, as the workbench's page "
                    "does, bit for bit.")
    parser.add_argument("--filter", action="append", default=[], metavar="TYPE:KEY=VALUE,...",
                        help="a filter: bandpass, bandreject, gabor or gaborreject with "
                             "frequency=, sigma=, plateau=, angle= (degrees), dc=; pairs as "
                             "along/across (repeat for a chain)")
    parser.add_argument("--chain", help="a chain's archive saved from the page (.vxa)")
    parser.add_argument("--padding", choices=chain.PADDINGS, default=None)
    parser.add_argument("--mode", choices=chain.MODES, default=None)
    parser.add_argument("picture")
    parser.add_argument("output", help="PNG, or PGM / PPM by its extension")
    args = parser.parse_args(argv)
    try:
        pixels = _open(args.picture, images.DEFAULT_LIMIT)
        if args.chain:
            if args.filter:
                raise chain.ChainError("--chain and --filter: give one of them")
            with open(args.chain, "rb") as f:
                mode, padding, filters = chain.load_archive(f.read())
            if args.padding and args.padding != padding or args.mode and args.mode != mode:
                raise chain.ChainError("the chain was made with padding %s in the %s mode"
                                       % (padding, mode))
            if mode == "compatible":
                with vxfreq.compatible():
                    result = chain.apply_filters(pixels, filters, padding)
            else:
                result = chain.apply_filters(pixels, filters, padding)
        else:
            entries = [chain.parse_option(s) for s in args.filter]
            result = chain.filtered(pixels, entries, args.padding or "continue",
                                    args.mode or "extended")
        images.write_picture(args.output, result)
    except (OSError, images.PictureError, chain.ChainError, vxfreq.Error) as e:
        print("%s: %s" % (_USAGE_APPLY, e), file=sys.stderr)
        return 1
    return 0


def main(argv=None):
    argv = sys.argv[1:] if argv is None else list(argv)
    # The workbench writes nothing the user did not ask for: not even the library's
    # cache of measured path plans.
    atexit.unregister(importlib.import_module("vxfreq")._keep_path_plans)
    if argv[:1] == ["apply"]:
        return _apply(argv[1:])
    return _serve(argv)


if __name__ == "__main__":
    sys.exit(main())
