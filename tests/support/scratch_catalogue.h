// A private provider catalogue: HKEY_LOCAL_MACHINE seen, by this process
// only, through a scratch key below HKEY_CURRENT_USER.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

// The catalogue key starts empty; a test adds providers. Several may live at
// once, each below its own scratch key; the one made or used last is the one
// HKEY_LOCAL_MACHINE shows. Keyscry only reads: when the catalogue goes, each
// key below the scratch key that is not as the test wrote it fails the test,
// and so, before the test writes below a key, does each key of that subtree.
// The registry is read back (Wine lets a key opened for reading be written);
// the fake provider keeps its records elsewhere. Keyscry holds a key only
// within one operation: when the catalogue goes, a key that this executable's
// code opened (RegOpenKeyA, followed through its import table) and hasn't
// closed, and didn't hold when the catalogue was made, fails the test too.
// The platform's own opens, inside advapi32, aren't counted; where the check
// can't see the executable's opens, making the catalogue fails the test.
struct ScratchCatalogue {
    explicit ScratchCatalogue(const char* name = "Machine"); // creates the catalogue key
    ~ScratchCatalogue(); // checks, removes everything and restores HKEY_LOCAL_MACHINE
    ScratchCatalogue(const ScratchCatalogue&) = delete;
    ScratchCatalogue& operator=(const ScratchCatalogue&) = delete;

    // Makes HKEY_LOCAL_MACHINE show this catalogue again.
    void Use() const;
    // A provider subkey; with no image path, no "Image Path" value is written.
    void AddProvider(const std::string& name, DWORD type, const std::string& imagePath = "");
    // The same, for a name that the ANSI code page may not hold.
    void AddProvider(const std::wstring& name, DWORD type, const std::string& imagePath = "");
    // A provider subkey whose "Type" value has the given registry type and bytes.
    void AddProviderRaw(const std::string& name, DWORD valueType, const std::vector<BYTE>& bytes);
    void AddProviderWithoutType(const std::string& name);
    // Removes the catalogue key itself (Wine's providers are not in it).
    void RemoveCatalogueKey();
    // The catalogue key's path below HKEY_CURRENT_USER.
    std::string CatalogueKeyPath() const;

    // Fails the test for each key at or below `path` not as the test wrote it.
    void ExpectOnlyWhatTheTestWrote(const std::wstring& path) const;

    // Keys by their path below the scratch key; values by name: type and bytes.
    using Values = std::map<std::wstring, std::pair<DWORD, std::vector<BYTE>>>;
    using Keys = std::map<std::wstring, Values>;

    std::string root;
    HKEY rootKey = nullptr;
    Keys written;                         // what the test wrote
    std::map<HKEY, std::string> keysHeld; // Keyscry's keys open once it was made, by path
};

// A function of advapi32 as the platform exports it, wherever imports point.
template <typename Function> Function Advapi32(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("advapi32"), name)));
}

// Points this executable's imports of `real`, which Keyscry's code compiled
// into it calls through, at `hook`; false where it has none. Swapped, undoes it.
template <typename Function> bool RedirectImports(Function real, Function hook) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* headers = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(
        base + headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
    bool found = false;
    for (DWORD protection = 0; dll->Name; ++dll)
        for (auto** slot = reinterpret_cast<void**>(base + dll->FirstThunk); *slot; ++slot)
            if (*slot == reinterpret_cast<void*>(real) &&
                VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection))
                *slot = reinterpret_cast<void*>(hook), found = true;
    return found;
}
