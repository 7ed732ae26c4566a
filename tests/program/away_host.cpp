// Runs Keyscry's executable away from its preferred base. Wine 8 doesn't start
// a program whose executable can't have its preferred base, and it moves an
// executable that it loads as a module without applying its relocations.
// So this host, linked at Keyscry's preferred base, copies Keyscry's
// executable with two changes to its headers: marked as a DLL, without an
// entry point for the loader to call. The loader places that copy elsewhere,
// applies its relocations and binds its imports, as for any DLL; the host then
// calls Keyscry's entry point, which ends the process with Keyscry's own exit
// code. An address that missed its relocation still points into the host.
//   away_host.exe KEYSCRY_EXE COPY
// Its own exit codes: 90 when the host doesn't sit at Keyscry's preferred
// base, 91 when the copy can't be written, 92 when the loader refuses the
// copy, 93 when the entry point returns.
#include <windows.h>

#include "support/image_headers.h"

int main(int argc, char** argv) {
    Bytes bytes = argc == 3 ? ReadWholeFile(argv[1]) : Bytes{};
    Image keyscry = ParseImage(bytes);
    if (!keyscry.valid ||
        reinterpret_cast<ULONG_PTR>(GetModuleHandleA(nullptr)) != keyscry.optional.imageBase)
        return 90;

    keyscry.file.Characteristics |= IMAGE_FILE_DLL;
    std::memcpy(&bytes[keyscry.fileHeaderAt], &keyscry.file, sizeof keyscry.file);
    // The entry point's field lies at the same offset in PE32 and PE32+.
    size_t entryPointAt = keyscry.optionalAt + offsetof(IMAGE_OPTIONAL_HEADER, AddressOfEntryPoint);
    std::memset(&bytes[entryPointAt], 0, sizeof(DWORD));
    if (!std::ofstream(argv[2], std::ios::binary)
             .write(reinterpret_cast<const char*>(bytes.data()), bytes.size()))
        return 91;

    auto* moved = reinterpret_cast<BYTE*>(LoadLibraryA(argv[2]));
    if (!moved)
        return 92;
    reinterpret_cast<void (*)()>(moved + keyscry.optional.entryPoint)();
    return 93;
}
