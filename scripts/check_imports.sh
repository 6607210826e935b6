#!/usr/bin/env bash
# Whether programs load on the oldest Windows their package names: the PE
# header asks for no newer system, and every imported function is in the
# table (first_windows.txt) and no newer there than the package allows.
# package.sh packs nothing that fails; CTest runs it on every build.
#   check_imports.sh x86|x64 FOLDER   (every .exe in it)
set -euo pipefail
arch=$1
table="$(dirname "${BASH_SOURCE[0]}")/first_windows.txt"
failed=0
for program in "$2"/*.exe; do
    x86_64-w64-mingw32-objdump -p "$program" | awk -v arch="$arch" -v program="$program" -v table="$table" '
    BEGIN {
        split("3.1 3.5 3.51 4.0 2000 XP 2003 Vista 7 8 8.1 10", names, " ")
        for (i in names) rank[names[i]] = i
        ntLimit = arch == "x86" ? "2000" : "2003"
        headerLimit = arch == "x86" ? 400 : 502
        while ((getline line < table) > 0) {
            if (line ~ /^[ \t]*(#|$)/) continue
            split(line, f, /[ \t]+/)
            nine[tolower(f[1]) "!" f[2]] = f[3]
            nt[tolower(f[1]) "!" f[2]] = f[4]
        }
    }
    function fail(text) { print program ": " text > "/dev/stderr"; bad = 1 }
    function version(value) { return int(value / 100) "." value % 100 }
    function header(name, value) { if (value > headerLimit) fail(name " " version(value)) }
    /^MajorOSystemVersion/ { os = $2 * 100 } /^MinorOSystemVersion/ { os += $2 }
    /^MajorSubsystemVersion/ { sub_ = $2 * 100 } /^MinorSubsystemVersion/ { sub_ += $2 }
    /^The Import Tables/ { imports = 1; next }
    /^(The |PE File)/ { imports = 0 }
    imports && /DLL Name:/ { dll = tolower($3); next }
    imports && /^\t[0-9a-f]+\t/ {
        name = $3 == "" || $3 == "<none>" ? "ordinal " $2 : $3
        key = dll "!" name
        ++count
        if (!(key in nt)) fail("import " key " is not in " table)
        else if (!(nt[key] in rank) || rank[nt[key]] > rank[ntLimit]) fail("import " key " needs Windows NT " nt[key])
        else if (arch == "x86" && nine[key] != "95" && nine[key] != "stub") fail("import " key " needs Windows " nine[key])
    }
    END {
        header("OS version", os)
        header("subsystem version", sub_)
        if (!count) fail("no imports read")
        if (!bad) print program ": " count " imports, OS " version(os) ", subsystem " version(sub_) ": fit for " arch
        exit bad
    }' || failed=1
done
exit $failed
