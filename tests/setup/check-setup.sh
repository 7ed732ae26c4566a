#!/usr/bin/env bash
# Runs scripts/setup.sh on machines played by stand-ins for apt-get, dpkg,
# dpkg-query and id on PATH, one machine a row, and checks its exit code,
# what it asked the stand-ins, in order, what it printed and what it
# remembered. The machine's own packages are never touched, nor the
# checkout's build/: a copy of setup.sh runs in a scratch tree, whose build/
# keeps its memory.
source "$(dirname "$0")/rows.sh"
unset KEYSCRY_SETUP_DONE
stand_ins apt-get dpkg dpkg-query id
mkdir -p "$work/tree/scripts"
cp "$root/scripts/setup.sh" "$work/tree/scripts/"
memory=$work/tree/build/setup-wine32-refused
declare -A age=([fresh]="1 hour ago" [old]="5 hours ago")

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
an unknown option|0|cmake|ok||none>none|--again|2||usage: setup.sh [--ask-again]
"

while IFS='|' read -r machine uid missing update refused remembered options code calls printed; do
    [ -n "$machine" ] || continue
    rm -rf "$work/tree/build"
    if [ "${remembered%>*}" != none ]; then
        mkdir "$work/tree/build"
        echo "refused before" >"$memory"
        touch -d "${age[${remembered%>*}]}" "$memory"
    fi
    status=0
    FAKE_UID=$uid FAKE_MISSING=$missing FAKE_UPDATE=$update FAKE_REFUSE=$refused KEYSCRY_SETUP_PAUSE=0 \
        "$work/tree/scripts/setup.sh" $options >"$out" 2>&1 || status=$?
    if [ "${remembered#*>}" = none ]; then
        [ ! -e "$memory" ] || problems+=("remembers a refusal")
    else
        [ -n "$(find "$memory" -mmin -120 2>/dev/null)" ] || problems+=("remembers no refusal written within two hours")
    fi
    check_row "setup on the machine '$machine'" "$status" "$code" "$calls" "$printed"
done <<<"$machines"
check_done "check-setup: set-up did what each of the machines needs"
