#!/usr/bin/env bash
# Builds the Python package's wheel from a copy of the sources, installs it into a fresh virtual
# environment of Debian's python3 (its NumPy and pytest come from the system) and runs the
# package's tests there against the build tree's library.
#   wheel_check.sh <source dir> <scratch dir> <expected version>
# TAVLIN_SDK_LIBRARY names the library.
set -euo pipefail
source_dir=$1
scratch=$2
version=$3
python=/usr/bin/python3

rm -rf "$scratch"
mkdir -p "$scratch/src"
# setup.py reads the version from ../CMakeLists.txt and setuptools writes build/ and *.egg-info
# beside it, so the build runs in a copy laid out as the tree is.
cp "$source_dir/CMakeLists.txt" "$scratch/src/"
cp -r "$source_dir/python" "$scratch/src/python"
find "$scratch/src/python" \( -name __pycache__ -o -name build -o -name '*.egg-info' \) \
    -prune -exec rm -rf {} +
(cd "$scratch/src/python" && "$python" -m build --wheel --no-isolation --outdir "$scratch/dist" \
    >"$scratch/build.log" 2>&1) || { cat "$scratch/build.log"; exit 1; }
wheel="$scratch/dist/tavlin-$version-py3-none-any.whl"
[ -f "$wheel" ] || { echo "no $wheel:"; ls "$scratch/dist"; exit 1; }

# Every module of the package, the typing marker and the version file, and nothing else.
"$python" - "$wheel" "$source_dir/python/tavlin" "$version" <<'PY'
import pathlib, sys, zipfile
wheel, package, version = sys.argv[1], pathlib.Path(sys.argv[2]), sys.argv[3]
with zipfile.ZipFile(wheel) as archive:
    names = set(archive.namelist())
    shipped = {n for n in names if not n.startswith(f"tavlin-{version}.dist-info/")}
    expected = {f"tavlin/{p.name}" for p in package.glob("*.py")} | {"tavlin/py.typed",
                                                                      "tavlin/VERSION"}
    assert shipped == expected, f"wheel holds {sorted(shipped)}, expected {sorted(expected)}"
    assert archive.read("tavlin/VERSION").decode().strip() == version
    metadata = archive.read(f"tavlin-{version}.dist-info/METADATA").decode()
    assert f"\nVersion: {version}\n" in metadata, metadata
    assert "Root-Is-Purelib: true" in archive.read(f"tavlin-{version}.dist-info/WHEEL").decode()
PY

export PIP_NO_CACHE_DIR=1 PIP_DISABLE_PIP_VERSION_CHECK=1 PIP_ROOT_USER_ACTION=ignore PIP_NO_INPUT=1
"$python" -m venv --system-site-packages "$scratch/venv"
"$scratch/venv/bin/python" -m pip install -q --no-index --no-deps "$wheel"

# From a folder outside the tree, the venv imports its own copy, of the project's version.
cd "$scratch"
site=$("$scratch/venv/bin/python" -c 'import sysconfig; print(sysconfig.get_path("purelib"))')
found=$("$scratch/venv/bin/python" -c 'import tavlin; print(tavlin.__file__, tavlin.__version__)')
[ "$found" = "$site/tavlin/__init__.py $version" ] || {
    echo "import tavlin gave '$found', expected '$site/tavlin/__init__.py $version'"
    exit 1
}

# Without TAVLIN_SDK_LIBRARY: the SONAME through the dynamic loader, then a library in the
# venv's own prefix ahead of it.
loaded() {
    env -u TAVLIN_SDK_LIBRARY "$@" "$scratch/venv/bin/python" -c \
        'import tavlin; print(tavlin.library().path)'
}
soname=libTavlinSdk_410QZ_VKE.so.1
[ "$(loaded LD_LIBRARY_PATH="$(dirname "$TAVLIN_SDK_LIBRARY")")" = "$soname" ] ||
    { echo "the SONAME was not loaded through LD_LIBRARY_PATH"; exit 1; }
ln -s "$TAVLIN_SDK_LIBRARY" "$scratch/venv/lib/$soname"
[ "$(loaded LD_LIBRARY_PATH=)" = "$scratch/venv/lib/$soname" ] ||
    { echo "the library of the venv's prefix was not loaded"; exit 1; }

TAVLIN_TEST_INSTALLED=1 "$scratch/venv/bin/python" -m pytest -q -p no:cacheprovider \
    --basetemp="$scratch/pytest" "$source_dir/tests/python"
