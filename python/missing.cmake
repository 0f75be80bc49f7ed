# The test python_module_missing: fails with the reason the module was not built.
message(FATAL_ERROR "The Python module was not built: ${MISSING} not found. "
                    "Run scripts/install-deps.sh and configure again, or configure with "
                    "-DVXFREQ_BUILD_PYTHON=OFF to leave the module out.")
