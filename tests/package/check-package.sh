#!/usr/bin/env bash
# Checks the release that scripts/package.sh writes. It packages twice, once
# from this checkout and once from a copy of it elsewhere, and checks that:
#   - the two runs give the same bytes, file for file (zips and executables);
#   - SHA256SUMS verifies with sha256sum -c and lists exactly the x86 zip,
#     Keyscry.exe, the x64 zip and Keyscry64.exe, in that order: the names
#     that the README promises, which the build trees' executables bear too;
#   - each zip holds exactly its executable, README.txt and LICENSE.txt, and
#     its executable is byte for byte the one the build trees made;
#   - each README.txt is the one for its zip: res/README.txt.in with the
#     version, the executable's name and its architecture ("32-bit" or
#     "64-bit"), and LICENSE.txt is LICENSE, both with Windows line ends;
#   - the version in each zip's name is the executable's FileVersion (whose
#     fourth part is 0).
#   check-package.sh X86_RECORD X64_EXE   the file where the 32-bit tree wrote
#                                 the path of what it built; the 64-bit tree's
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
[ -s "$1" ] || { echo "check-package: nothing written in $1: the 32-bit tree is not configured" >&2 && exit 1; }
declare -A built=([x86]=$(cat "$1") [x64]=$2)
declare -A name=([x86]=Keyscry.exe [x64]=Keyscry64.exe) bits=([x86]=32-bit [x64]=64-bit)
work=$(mktemp -d "${TMPDIR:-/tmp}/keyscry-package-check.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "check-package: $*" >&2
    failures=$((failures + 1))
}

# The copy keeps .git, so that its zips get the same commit time.
copy="$work/elsewhere/keyscry-sources"
mkdir -p "$copy"
tar -C "$root" --exclude='./build*' --exclude=./out --exclude=./dist -cf - . | tar -C "$copy" -xf -
"$root/scripts/package.sh" "$work/first" >/dev/null
export KEYSCRY_SETUP_DONE=1 # the first run has set up
"$copy/scripts/package.sh" "$work/elsewhere/second" >/dev/null

first_files=$(cd "$work/first" && ls)
[ "$first_files" = "$(cd "$work/elsewhere/second" && ls)" ] || fail "the two runs wrote different files"
for file in $first_files; do
    cmp -s "$work/first/$file" "$work/elsewhere/second/$file" || fail "$file differs between the two runs"
done
(cd "$work/first" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not verify"

listed=""
for arch in x86 x64; do
    exe=${name[$arch]}
    [ "${built[$arch]##*/}" = "$exe" ] || fail "the $arch build made ${built[$arch]##*/}, not $exe"
    zips=("$work/first"/Keyscry-*-"$arch".zip)
    [ ${#zips[@]} -eq 1 ] && [ -f "${zips[0]}" ] || {
        fail "no single $arch zip"
        continue
    }
    zip=${zips[0]}
    listed+="${zip##*/} $exe "
    version=${zip##*/Keyscry-}
    version=${version%-"$arch".zip}
    entries=$(unzip -Z1 "$zip" | tr '\n' ' ')
    [ "$entries" = "$exe README.txt LICENSE.txt " ] || fail "${zip##*/} holds: $entries"
    unzip -q "$zip" -d "$work/$arch"
    cmp -s "$work/$arch/$exe" "${built[$arch]}" || fail "$exe in ${zip##*/} is not the build's ${built[$arch]}"
    cmp -s "$work/$arch/$exe" "$work/first/$exe" || fail "$exe in ${zip##*/} is not the bare $exe"
    sed -e "s/@PROJECT_VERSION@/$version/g; s/@KEYSCRY_EXE_NAME@/${exe%.exe}/g" \
        -e "s/@KEYSCRY_BITS@/${bits[$arch]}/g; s/\$/\r/" "$root/res/README.txt.in" | cmp -s - "$work/$arch/README.txt" ||
        fail "README.txt in ${zip##*/} is not the one for $exe, the ${bits[$arch]} build, $version"
    sed 's/$/\r/' "$root/LICENSE" | cmp -s - "$work/$arch/LICENSE.txt" || fail "LICENSE.txt in ${zip##*/} is not LICENSE"
    # The version block's strings are UTF-16: each key is followed by its value.
    file_version=$(strings -e l "$work/$arch/$exe" | grep -x -A1 FileVersion | tail -n 1)
    [ "$file_version" = "$version.0" ] ||
        fail "${zip##*/} names version $version, $exe's FileVersion is $file_version"
done
sums=$(awk '{ printf "%s ", $2 }' "$work/first/SHA256SUMS")
[ "$sums" = "$listed" ] || fail "SHA256SUMS lists ${sums% }; expected ${listed% }"

if [ $failures -gt 0 ]; then
    exit 1
fi
echo "check-package: both runs identical, sums verified, zips as built:"
sed 's/^/  /' "$work/first/SHA256SUMS"
