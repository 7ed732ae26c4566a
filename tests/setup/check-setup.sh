#!/usr/bin/env bash
# Runs scripts/setup.sh on machines played by stand-ins for apt-get, dpkg,
# dpkg-query and id on PATH, one machine a row, and checks its exit code,
# what it asked the stand-ins, in order, what it printed and what it
# remembered. The machine's own packages are never touched, nor the
# checkout's build/: a copy of setup.sh runs in a scratch tree, whose build/
# keeps its memory.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/keyscry-setup-check.XXXXXX")
trap 'rm -rf "$work"' EXIT
unset KEYSCRY_SETUP_DONE
mkdir -p "$work/tree/scripts"
cp "$root/scripts/setup.sh" "$work/tree/scripts/"
memory=$work/tree/build/setup-wine32-refused
declare -A age=([fresh]="1 hour ago" [old]="5 hours ago")

# One stand-in under four names. It logs what it is asked (a run of
# dpkg-query calls as one line) and plays the machine that these describe:
#   FAKE_UID      what id -u says
#   FAKE_MISSING  the packages that are not installed
#   FAKE_UPDATE   "fail": apt-get update fails for one index on every try
#   FAKE_REFUSE   apt-get install refuses any set that holds one of these
mkdir "$work/bin"
cat >"$work/bin/stand-in" <<'EOF'
#!/usr/bin/env bash
name=${0##*/}
case $name in
id)
    echo "$FAKE_UID"
    exit 0
    ;;
dpkg-query)
    [ "$(tail -n 1 "$FAKE_LOG")" = dpkg-query ] || echo dpkg-query >>"$FAKE_LOG"
    [[ " $FAKE_MISSING " == *" ${!#} "* ]] && exit 1
    echo "install ok installed"
    exit 0
    ;;
esac
echo "$name $*" >>"$FAKE_LOG"
if [ "$name $1" = "apt-get update" ] && [ "$FAKE_UPDATE" = fail ]; then
    echo "E: Failed to fetch .../binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
    exit 100
fi
if [ "$name $1" = "apt-get install" ]; then
    for package in $FAKE_REFUSE; do
        if [[ " $* " == *" $package "* ]]; then
            echo "E: Unable to correct problems, you have held broken packages."
            exit 100
        fi
    done
fi
exit 0
EOF
chmod +x "$work/bin/stand-in"
for name in apt-get dpkg dpkg-query id; do ln -s stand-in "$work/bin/$name"; done

I="apt-get install -y --no-install-recommends"
prep="dpkg-query;dpkg --add-architecture i386;apt-get update"
held="Unable to correct problems, you have held broken packages."
# machine | uid | missing | update | refused | a remembered refusal of the
# 32-bit Wine before>after (none; fresh: an hour old before, written within
# two hours after; old: five hours old) | options | exit code | calls, ";"
# between | what it prints, "|" between fragments (none: it prints nothing)
machines="
index fails every try|0|cmake wine32:i386 zip|fail||none>none||0|$prep;apt-get update;apt-get update;$I cmake wine32:i386 zip|File has unexpected size (374820 != 376004). Mirror sync in progress?); going on
32-bit Wine refused|0|cmake wine32:i386 zip|ok|wine32:i386|none>fresh||0|$prep;$I cmake wine32:i386 zip;$I cmake zip|the 32-bit Wine (wine32:i386) could not be installed (apt: $held); the 32-bit build is still built|at once with scripts/setup.sh --ask-again
64-bit set refused|0|cmake wine32:i386 zip|ok|wine32:i386 cmake|none>none||1|$prep;$I cmake wine32:i386 zip;$I cmake zip|  | E: $held|by hand, as root: DEBIAN_FRONTEND=noninteractive $I cmake zip
all installed|0||ok||none>none||0|dpkg-query|
not root|1000|cmake wine32:i386 zip|ok||none>none||1|dpkg-query|  dpkg --add-architecture i386; apt-get update; DEBIAN_FRONTEND=noninteractive $I cmake wine32:i386 zip
not root, only the 32-bit Wine missing|1000|wine32:i386|ok||none>none||0|dpkg-query|The 32-bit Wine (wine32:i386) is not installed|run this as root: dpkg --add-architecture i386; apt-get update; DEBIAN_FRONTEND=noninteractive $I wine32:i386
refusal remembered|0|wine32:i386|ok|wine32:i386|fresh>fresh||0|dpkg-query|could not be installed (apt: refused before)
refusal remembered, more missing|0|cmake wine32:i386 zip|ok|wine32:i386|fresh>fresh||0|$prep;$I cmake zip|could not be installed (apt: refused before)
refusal remembered too long|0|wine32:i386|ok|wine32:i386|old>fresh||0|$prep;$I wine32:i386|could not be installed (apt: $held)
refusal remembered, asked again|0|wine32:i386|ok||fresh>none|--ask-again|0|$prep;$I wine32:i386|Installing: wine32:i386
"

failures=0
while IFS='|' read -r machine uid missing update refused remembered options code calls printed; do
    [ -n "$machine" ] || continue
    log=$work/calls
    : >"$log"
    rm -rf "$work/tree/build"
    if [ "${remembered%>*}" != none ]; then
        mkdir "$work/tree/build"
        echo "refused before" >"$memory"
        touch -d "${age[${remembered%>*}]}" "$memory"
    fi
    status=0
    PATH="$work/bin:$PATH" FAKE_LOG=$log FAKE_UID=$uid FAKE_MISSING=$missing FAKE_UPDATE=$update \
        FAKE_REFUSE=$refused KEYSCRY_SETUP_PAUSE=0 "$work/tree/scripts/setup.sh" $options >"$work/out" 2>&1 ||
        status=$?
    problems=()
    [ "$status" = "$code" ] || problems+=("exit code $status, expected $code")
    if [ "${remembered#*>}" = none ]; then
        [ ! -e "$memory" ] || problems+=("remembers a refusal")
    else
        [ -n "$(find "$memory" -mmin -120 2>/dev/null)" ] || problems+=("remembers no refusal written within two hours")
    fi
    tr ';' '\n' <<<"$calls" | cmp -s - "$log" ||
        problems+=("calls differ (-expected +made):" "$(tr ';' '\n' <<<"$calls" | { diff -U99 - "$log" || true; } | tail -n +4 | sed 's/^/  /')")
    if [ -z "$printed" ]; then
        [ ! -s "$work/out" ] || problems+=("printed something, expected nothing")
    else
        IFS='|' read -r -a fragments <<<"$printed"
        for fragment in "${fragments[@]}"; do
            grep -qF -- "$fragment" "$work/out" || problems+=("did not print: $fragment")
        done
    fi
    if [ ${#problems[@]} -gt 0 ]; then
        failures=$((failures + 1))
        echo "setup on the machine '$machine':" >&2
        printf '%s\n' "${problems[@]}" | sed 's/^/  /' >&2
        echo "  it printed:" >&2
        sed 's/^/    | /' "$work/out" >&2
    fi
done <<<"$machines"

if [ $failures -gt 0 ]; then
    exit 1
fi
echo "check-setup: set-up did what each of the machines needs"
