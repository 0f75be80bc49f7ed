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


def test_path_plans_are_kept_between_runs_and_a_damaged_file_is_ignored(tmp_path):
    plans = tmp_path / "cache" / "vxfreq" / "path-plans"
    env = dict(os.environ, XDG_CACHE_HOME=str(tmp_path / "cache"))
    env.pop("VXFREQ_PLANS", None)
    measure = ("import numpy, vxfreq; vxfreq.forward(numpy.ones((512, 512), numpy.uint8));"
               "print(vxfreq.path_plans_file())")

    def run(code):
        return subprocess.run([sys.executable, "-W", "always", "-c", code], env=env, check=True,
                              capture_output=True, text=True)

    first = run(measure)
    assert first.stdout.strip() == str(plans) and first.stderr == ""
    text = vxfreq.export_path_plans()
    if plans.exists():  # written where a measurement chose between two paths or more
        kept = plans.read_text()
        assert kept.startswith("vxfreq path plans 1\nprocessor ")
        assert run("import vxfreq; print(vxfreq.export_path_plans(), end='')").stdout == kept
    plans.parent.mkdir(parents=True, exist_ok=True)
    plans.write_text("vxfreq path plans 1\nprocessor somewhere else | paths neon\n")
    damaged = run(measure)
    assert "ignored the path plans in %s: measured on another" % plans in damaged.stderr
    env["VXFREQ_PLANS"] = "off"
    assert run(measure).stdout.strip() == "None"
    # The running process takes its own export back; other text is refused whole.
    vxfreq.import_path_plans(text)
    assert vxfreq.export_path_plans() == text
    try:
        vxfreq.import_path_plans(text + "real-forward extended 3x5 avx2\n")
    except ValueError as e:
        assert "line" in str(e) and "damaged" in str(e)
    else:
        raise AssertionError("damaged plans were taken")
