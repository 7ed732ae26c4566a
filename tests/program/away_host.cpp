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
    ImageHeaders keyscry = argc == 3 ? ImageHeadersOf(argv[1]) : ImageHeaders{};
    if (!keyscry.at || reinterpret_cast<ULONG_PTR>(GetModuleHandleA(nullptr)) !=
                           keyscry.nt.OptionalHeader.ImageBase)
        return 90;

    IMAGE_NT_HEADERS asDll = keyscry.nt;
    asDll.FileHeader.Characteristics |= IMAGE_FILE_DLL;
    asDll.OptionalHeader.AddressOfEntryPoint = 0;
    if (!CopyFileA(argv[1], argv[2], FALSE))
        return 91;
    {
        std::fstream copy(argv[2], std::ios::binary | std::ios::in | std::ios::out);
        copy.seekp(keyscry.at);
        copy.write(reinterpret_cast<const char*>(&asDll), sizeof asDll);
        if (!copy)
            return 91;
    }

    auto* moved = reinterpret_cast<BYTE*>(LoadLibraryA(argv[2]));
    if (!moved)
        return 92;
    reinterpret_cast<void (*)()>(moved + keyscry.nt.OptionalHeader.AddressOfEntryPoint)();
    return 93;
}
