#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""The include rules of the rooms (docs/architecture.md), checked over every #include line.

    scripts/check-includes.py [ROOT]

Every C++ file under src/ and sim/ belongs to the room of the longest folder below that holds it;
a room may include only the rooms its line below names. Below the front ends nothing includes a
toolkit or the Windows API, and nothing asks which operating system it is built for: that is the
business of the host helpers and the platform backends. Prints every offence as file:line and
exits 1; exits 0 when the tree keeps the rules.
"""

import pathlib
import re
import sys

# Room -> the rooms it may include (itself always). Longest folder wins, so a backend or a family
# folder is a room of its own inside its parent.
ROOMS = {
    "sim": set(),
    "src/host": set(),
    "src/catalog": {"src/host"},
    "src/device/platform": {"src/host"},
    # The simulator's platform is the one product room that reaches the simulator.
    "src/device/platform/sim": {"src/device/platform", "src/host", "sim"},
    "src/device": {"src/catalog", "src/device/platform", "src/host"},
    "src/image": {"src/catalog", "src/device/platform", "src/host"},
    "src/update": {"src/image", "src/device", "src/catalog", "src/device/platform", "src/host"},
    "src/tool": {"src/update", "src/image", "src/device", "src/catalog", "src/device/platform",
                 "src/host"},
    # The simulated machine's host side: state folder, sample images, demo session.
    "src/simhost": {"src/device/platform/sim", "sim", "src/image", "src/device", "src/catalog",
                    "src/device/platform", "src/host"},
    # The front ends: the window (Qt), the Win32 window (win32/), the command line (cli/), the
    # trace recorder (record/), the udev probe (udev_probe/). Their entry points pick a backend.
    "src/app": {"src/tool", "src/update", "src/image", "src/device", "src/catalog",
                "src/device/platform", "src/host"},
}
# The front ends over simulated enclosures (the window's, the Win32 window's, the command line's
# --sim) see the simulated machine as well; the other front ends never do.
SIMULATOR_FRONT_ENDS = ("src/app/sim", "src/app/win32/sim", "src/app/cli")
SIMULATED_MACHINE = {"src/simhost", "src/device/platform/sim", "sim"}
for folder in SIMULATOR_FRONT_ENDS:
    ROOMS[folder] = ROOMS["src/app"] | SIMULATED_MACHINE | set(SIMULATOR_FRONT_ENDS)
for folder in SIMULATOR_FRONT_ENDS:
    if folder != "src/app/cli":  # the window's simulators are built on their windows
        ROOMS[folder].add("src/app")

# The platform backends are rooms inside the platform room: the seam picks one for the entry
# points (os_platform.h), and a backend includes the seam, never the simulator.
PLATFORM_BACKENDS = ("linux", "win32", "trace")
for backend in PLATFORM_BACKENDS:
    ROOMS[f"src/device/platform/{backend}"] = {"src/device/platform", "src/host"}
    ROOMS["src/device/platform"].add(f"src/device/platform/{backend}")
    for front_end in ("src/app",) + SIMULATOR_FRONT_ENDS:
        ROOMS[front_end].add(f"src/device/platform/{backend}")

# The families of the update room include what the room shares, never one another; the journal
# knows every family's kept area and may.
UPDATE_FAMILIES = ("serial", "df", "parallel", "disk")
for family in UPDATE_FAMILIES + ("journal",):
    ROOMS[f"src/update/{family}"] = ROOMS["src/update"] | {"src/update"}
for family in UPDATE_FAMILIES:
    ROOMS["src/update"].add(f"src/update/{family}")
    ROOMS["src/update/journal"].add(f"src/update/{family}")
ROOMS["src/update"].add("src/update/journal")
for family in UPDATE_FAMILIES:
    ROOMS[f"src/update/{family}"].add("src/update/journal")
for room in ("src/tool", "src/app", "src/simhost") + SIMULATOR_FRONT_ENDS:
    ROOMS[room] |= {f"src/update/{f}" for f in UPDATE_FAMILIES + ("journal",)}

# Rooms that may name the operating system: the front ends, the host helpers, the backends.
OS_ROOMS = ("src/app", "src/host", "src/device/platform")
OS_CONDITION = re.compile(r"^\s*#\s*(if|ifdef|ifndef|elif)\b.*\b(_WIN32|_WIN64|__linux__|__unix__|"
                          r"__APPLE__|_MSC_VER|__MINGW32__)\b")
SYSTEM_HEADER = re.compile(r"^\s*#\s*include\s*<(windows\.h|commctrl\.h|commdlg\.h|shellapi\.h|"
                           r"shlobj\.h|winioctl\.h|setupapi\.h|unistd\.h|fcntl\.h|sys/[\w/]+\.h)>")
TOOLKIT_HEADER = re.compile(r"^\s*#\s*include\s*<(Qt\w*/|Q[A-Z]\w*>)")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')

# Sideways includes still allowed, as (room, header); none is left.
KNOWN_SIDEWAYS = set()


def room_of(path):
    """The room of a repository path, or None outside the rooms."""
    best = None
    for room in ROOMS:
        if path == room or path.startswith(room + "/"):
            if best is None or len(room) > len(best):
                best = room
    return best


def is_os_room(room):
    return any(room == r or room.startswith(r + "/") for r in OS_ROOMS)


def offences_in(root, file):
    relative = file.relative_to(root).as_posix()
    room = room_of(relative)
    if room is None:
        yield f"{relative}:1: in no room; give its folder a line in scripts/check-includes.py"
        return
    lines = file.read_text(encoding="utf-8", errors="replace").splitlines()
    for number, line in enumerate(lines, start=1):
        where = f"{relative}:{number}"
        included = INCLUDE.match(line)
        if included:
            target = included.group(1)
            if not (target.startswith("src/") or target.startswith("sim/")):
                continue  # generated resources and the like
            target_room = room_of(target)
            if target_room is None:
                yield f"{where}: includes {target}, which is in no room"
            elif target_room != room and target_room not in ROOMS[room] and \
                    (room, target) not in KNOWN_SIDEWAYS:
                yield f"{where}: {room} may not include {target_room} ({target})"
        elif not room.startswith("src/app"):
            if TOOLKIT_HEADER.match(line):
                yield f"{where}: a toolkit header below the front ends: {line.strip()}"
        if room != "sim" and not is_os_room(room):
            if OS_CONDITION.match(line):
                yield f"{where}: asks for the operating system outside src/host and the " \
                      f"platform backends: {line.strip()}"
            elif SYSTEM_HEADER.match(line):
                yield f"{where}: a system header outside src/host and the platform backends: " \
                      f"{line.strip()}"


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else
                        pathlib.Path(__file__).resolve().parent.parent).resolve()
    files = sorted(p for folder in ("src", "sim") for p in (root / folder).rglob("*")
                   if p.suffix in (".h", ".cpp") and p.is_file())
    if not files:
        print(f"check-includes: no sources under {root}", file=sys.stderr)
        return 2
    offences = [o for f in files for o in offences_in(root, f)]
    for offence in offences:
        print(offence)
    sys.stdout.flush()
    if offences:
        print(f"check-includes: {len(offences)} offence(s) against the include rules "
              "(docs/architecture.md)", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
