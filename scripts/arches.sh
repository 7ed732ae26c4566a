# Sourced by the scripts that build, run or test Keyscry: what each of the two
# builds is called, and which of them this machine can run under Wine.
#
# keyscry_arch_files ARCH (x86 or x64) sets
#   KEYSCRY_TOOLCHAIN   the toolchain file's name in cmake/, without .cmake
#   KEYSCRY_EXE         the executable's file name
#
# keyscry_probe_arches sets
#   KEYSCRY_RUN_ARCHES  "x86 x64" or "x64" (or what KEYSCRY_ARCHES says)
#   KEYSCRY_X86_REASON  why the 32-bit build can't run here (empty when it can)
#   KEYSCRY_MAIN_ARCH   the build to run when there is one to choose: x86 where
#                       it runs, x64 otherwise
# Every x86-64 machine runs the 64-bit build through Wine's 64-bit loader. The
# 32-bit one needs Wine's 32-bit part, which apt can't always install, and a
# kernel that executes 32-bit x86 code, which some don't: the probe starts
# Wine's 32-bit loader and reads its answer.
# KEYSCRY_ARCHES overrides the probe: "x64" makes a machine that runs both act
# as one that runs only the 64-bit build ("x86", "x86 x64" and "x86,x64" work
# too, and fail at once where the 32-bit build can't run).

keyscry_arch_files() {
    case "${1:-}" in
    x86) KEYSCRY_TOOLCHAIN=i686-w64-mingw32 KEYSCRY_EXE=Keyscry.exe ;;
    x64) KEYSCRY_TOOLCHAIN=x86_64-w64-mingw32 KEYSCRY_EXE=Keyscry64.exe ;;
    *)
        echo "unknown architecture '${1:-}' (x86 or x64)" >&2
        return 2
        ;;
    esac
}

# Prints why the 32-bit build can't run here; nothing where it can.
keyscry_x86_blocker() {
    local answer status=0
    if [ ! -x /usr/lib/wine/wine ]; then
        # Where the kernel can't execute 32-bit code, installing the 32-bit
        # Wine wouldn't help: the 32-bit dynamic loader, where it is, says so.
        answer=$(/lib/ld-linux.so.2 --version 2>&1 </dev/null) || status=$?
        if [[ $status -ne 0 && $answer == *"Exec format error"* ]]; then
            echo "the 32-bit Wine (wine32:i386) is not installed, nor does this machine's kernel execute 32-bit x86 code (/lib/ld-linux.so.2 answered: Exec format error)"
        else
            echo "the 32-bit Wine (wine32:i386) is not installed"
        fi
        return
    fi
    answer=$(/usr/lib/wine/wine --version 2>&1 </dev/null) || status=$?
    [ "$status" -eq 0 ] && return
    answer=$(tail -n 1 <<<"$answer")
    echo "this machine does not execute 32-bit x86 code (Wine's 32-bit loader answered: ${answer##*: } [exit code $status])"
}

keyscry_probe_arches() {
    KEYSCRY_X86_REASON=""
    if [ -n "${KEYSCRY_ARCHES:-}" ]; then
        local word arches=""
        for word in ${KEYSCRY_ARCHES//,/ }; do
            case "$word" in
            x86 | x64) arches="$arches $word" ;;
            *)
                echo "KEYSCRY_ARCHES: unknown architecture '$word' (x86 or x64)" >&2
                return 2
                ;;
            esac
        done
        KEYSCRY_RUN_ARCHES=${arches# }
        case " $arches " in
        *" x86 "*)
            local blocker
            blocker=$(keyscry_x86_blocker)
            if [ -n "$blocker" ]; then
                echo "KEYSCRY_ARCHES=$KEYSCRY_ARCHES asks for the 32-bit build, which can't run here: $blocker" >&2
                return 2
            fi
            ;;
        *) KEYSCRY_X86_REASON="KEYSCRY_ARCHES=$KEYSCRY_ARCHES leaves it out" ;;
        esac
    else
        KEYSCRY_X86_REASON=$(keyscry_x86_blocker)
        if [ -z "$KEYSCRY_X86_REASON" ]; then
            KEYSCRY_RUN_ARCHES="x86 x64"
        else
            KEYSCRY_RUN_ARCHES="x64"
        fi
    fi
    if [[ " $KEYSCRY_RUN_ARCHES " == *" x86 "* ]]; then
        KEYSCRY_MAIN_ARCH=x86
    else
        KEYSCRY_MAIN_ARCH=x64
    fi
}
