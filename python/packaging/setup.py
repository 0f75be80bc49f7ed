"""The vxfreq wheel: the package folder as scripts/build-wheel.sh lays it out, the
compiled module and the library it links included; a wheel for this interpreter and
machine, since it holds compiled code."""

import re

from setuptools import setup
from setuptools.dist import Distribution


class CompiledDistribution(Distribution):
    """Holds compiled code: the wheel is tagged for this interpreter and platform."""

    def has_ext_modules(self):
        return True


with open("vxfreq/_version.py", encoding="utf-8") as f:
    VERSION = re.search(r'__version__ = "([^"]+)"', f.read()).group(1)

setup(
    name="vxfreq",
    version=VERSION,
    description="Two-dimensional Fourier transforms of images and frequency-domain filters",
    packages=["vxfreq"],
    package_data={"vxfreq": ["_vxfreq*.so", "libvxfreq.so.*", "*.pyi", "py.typed"]},
    install_requires=["numpy"],
    python_requires=">=3.7",
    distclass=CompiledDistribution,
    zip_safe=False,
)
