"""The module as a package: stubs that match it (stubtest) and the library's list of filter
types, documentation of every public name, and an installation that imports from its
prefix."""

import ast
import os
import subprocess
import sys

import vxfreq

HERE = os.path.dirname(os.path.abspath(__file__))
PACKAGE_DIR = os.path.dirname(vxfreq.__file__)
MODULE_DIR = os.path.dirname(PACKAGE_DIR)


def test_stubs_match_the_module(tmp_path):
    env = dict(os.environ)
    if os.path.basename(MODULE_DIR) != "site-packages":  # installed: mypy finds it by py.typed
        env.update(MYPYPATH=MODULE_DIR, PYTHONPATH=MODULE_DIR)
    result = subprocess.run(
        [sys.executable, "-m", "mypy.stubtest", "vxfreq", "--allowlist",
         os.path.join(HERE, "..", "stubtest-allowlist.txt"),],
        env=env, capture_output=True, text=True, cwd=str(tmp_path))
    assert result.returncode == 0, result.stdout + result.stderr


def test_filter_classes_and_stubs_follow_the_library_list():
    with open(os.path.join(PACKAGE_DIR, "__init__.pyi")) as f:
        stubs = {c.name: c for c in ast.parse(f.read()).body if isinstance(c, ast.ClassDef)}
    base = {"band": "_Band", "gabor": "_Oriented"}
    for t in vxfreq._vxfreq._filter_types:
        stub, cls = stubs.pop(t["name"]), getattr(vxfreq, t["name"])
        declared = {n.target.id for n in stub.body if isinstance(n, ast.AnnAssign)}
        assert [b.id for b in stub.bases] == [base[t["family"]]] and cls.__module__ == "vxfreq"
        assert ("dc_protection_radius" in declared) == hasattr(cls, "dc_protection_radius") == \
            t["rejects"], t
    # No other stub class is one of them.
    assert not [n for n, c in stubs.items() if [getattr(b, "id", "") for b in c.bases]
                in (["_Band"], ["_Oriented"])]


def test_every_public_name_is_documented():
    assert os.path.exists(os.path.join(PACKAGE_DIR, "__init__.pyi"))
    assert os.path.exists(os.path.join(PACKAGE_DIR, "py.typed"))
    undocumented = []
    for name in dir(vxfreq):
        obj = getattr(vxfreq, name)
        if name.startswith("_") or not callable(obj):
            continue
        if not (obj.__doc__ or "").strip():
            undocumented.append(name)
        for member, value in vars(obj).items() if isinstance(obj, type) else ():
            if member.startswith("_") or not (callable(value) or isinstance(value, property)):
                continue
            if not (value.__doc__ or "").strip():
                undocumented.append(name + "." + member)
    assert undocumented == []
    assert "(width, height)" in vxfreq.Gabor.__doc__ and "(H, W)" in vxfreq.FrequencyBuffer.shape.__doc__


def test_installed_module_imports_from_its_prefix(tmp_path):
    subprocess.run([os.environ["VXFREQ_CMAKE"], "--install", os.environ["VXFREQ_BUILD_DIR"],
                    "--prefix", str(tmp_path)], check=True, capture_output=True)
    version = "python%d.%d" % sys.version_info[:2]
    site = tmp_path / "lib" / version / "site-packages"
    assert (site / "vxfreq" / "__init__.pyi").exists() and (site / "vxfreq" / "py.typed").exists()
    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "LD_LIBRARY_PATH")}
    env["PYTHONPATH"] = str(site)
    code = ("import numpy, vxfreq; b = vxfreq.forward(numpy.ones((3, 5), numpy.uint8));"
            "print(vxfreq.__file__, int(b.get(0, 0).real))")
    out = subprocess.run([sys.executable, "-c", code], env=env, check=True, capture_output=True,
                         text=True, cwd=str(tmp_path)).stdout.split()
    assert out == [str(site / "vxfreq" / "__init__.py"), "15"]
