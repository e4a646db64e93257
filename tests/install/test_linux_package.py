"""Installing the Linux program: the files `cmake --install` puts in place pass the desktop
validators, and the .deb installs, starts under Xvfb and removes cleanly."""
import glob
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
from xsession import FakeBrowser, XServer, check, failures, finish, skip  # noqa: E402

build_dir = sys.argv[1]


def run(*args, **kwargs):
    result = subprocess.run(list(args), capture_output=True, text=True, timeout=600, **kwargs)
    if result.returncode != 0:
        print(result.stdout, result.stderr)
    return result


for tool in ("desktop-file-validate", "appstreamcli", "cpack", "dpkg-deb", "lintian"):
    if shutil.which(tool) is None:
        skip(f"{tool} is not installed")

work = tempfile.mkdtemp(prefix="flagwash-install-")
try:
    stage = os.path.join(work, "stage")
    result = run("cmake", "--install", build_dir, "--prefix", "/usr", env=dict(os.environ, DESTDIR=stage))
    check(result.returncode == 0, "cmake --install failed")
    expected = ["usr/bin/flagwash", "usr/share/applications/flagwash.desktop",
                "usr/share/metainfo/example.quorvane.Flagwash.metainfo.xml"]
    expected += [f"usr/share/icons/hicolor/{s}x{s}/apps/flagwash.png" for s in (16, 32, 48, 256)]
    for path in expected:
        check(os.path.isfile(os.path.join(stage, path)), f"{path} not installed")
    desktop = os.path.join(stage, "usr/share/applications/flagwash.desktop")
    result = run("desktop-file-validate", desktop)
    check(result.returncode == 0 and not result.stdout.strip(), f"desktop-file-validate: {result.stdout}")
    with open(desktop) as f:
        entry = dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)
    # Open With hands over the chosen files; the tool never becomes a default for any type.
    check(entry.get("Exec") == "flagwash %F", f"Exec={entry.get('Exec')}")
    check("MimeType" not in entry, f"the menu entry claims MimeType={entry.get('MimeType')}")
    metainfo = os.path.join(stage, "usr/share/metainfo/example.quorvane.Flagwash.metainfo.xml")
    result = run("appstreamcli", "validate", "--no-net", "--pedantic", metainfo)
    check(result.returncode == 0, f"appstreamcli validate: {result.stdout}")
    # No warning, no error, and every tag known to this AppStream (Debian 12 has 0.16).
    said = [line for line in result.stdout.splitlines() if line[:2] in ("W:", "E:")
            or "unknown-tag" in line]
    check(not said, f"appstreamcli validate: {said}")

    result = run("cpack", "-G", "DEB", "-B", os.path.join(work, "deb"),
                 "--config", os.path.join(build_dir, "CPackConfig.cmake"))
    check(result.returncode == 0, "cpack failed")
    debs = glob.glob(os.path.join(work, "deb", "*.deb"))
    check(len(debs) == 1, f"packages made: {debs}")
    if failures:
        sys.exit(1)
    contents = run("dpkg-deb", "--contents", debs[0]).stdout
    expected += ["usr/share/doc/flagwash/copyright", "usr/share/doc/flagwash/changelog.gz",
                 "usr/share/man/man1/flagwash.1.gz"]
    for path in expected:
        check("./" + path in contents, f"{path} missing from the package")
    # What Debian users trust: no lintian error or warning (infos are advice), the hardening
    # infos among them.
    result = run("lintian", "--info", "--fail-on", "error,warning", debs[0])
    tags = [line for line in result.stdout.splitlines() if line[:2] in ("E:", "W:")
            or "hardening-" in line]
    check(result.returncode == 0 and not tags, f"lintian: {result.stdout}")
    print(result.stdout.strip())
    fields = run("dpkg-deb", "--field", debs[0], "Package", "Version", "Depends",
                 "Suggests").stdout
    check("Package: flagwash" in fields and "Version: 1.01" in fields, fields)
    # libqt6gui6 brings the xcb plugin the window uses, also through Xwayland.
    check("libqt6widgets6" in fields and "libqt6gui6" in fields, f"no Qt dependency: {fields}")
    check("Suggests: qt6-wayland" in fields, f"Qt's Wayland plugin not suggested: {fields}")

    if os.geteuid() != 0:
        skip("installing the package needs root")
    if run("dpkg-query", "-W", "flagwash").returncode == 0:
        skip("a flagwash package is already installed on this machine; not touching it")
    result = run("dpkg", "-i", debs[0])
    check(result.returncode == 0, "dpkg -i failed")
    try:
        with XServer() as x:
            browser = FakeBrowser()
            app, window = x.launch(["/usr/bin/flagwash"], browser.path_env(x.env))
            try:
                g = x.geometry(window)
                check((g["WIDTH"], g["HEIGHT"]) == (385, 335), f"installed program's window {g}")
            finally:
                app.terminate()
                app.wait(timeout=10)
                browser.cleanup()
    finally:
        result = run("dpkg", "-r", "flagwash")
        check(result.returncode == 0, "dpkg -r failed")
        check(not os.path.exists("/usr/bin/flagwash"), "/usr/bin/flagwash left behind")
        check(not os.path.exists("/usr/share/applications/flagwash.desktop"), "desktop entry left behind")
finally:
    shutil.rmtree(work, ignore_errors=True)

finish("linux install and package")
