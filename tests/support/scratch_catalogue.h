// A private provider catalogue: HKEY_LOCAL_MACHINE seen, by this process
// only, through a scratch key below HKEY_CURRENT_USER.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The catalogue key starts empty; a test adds providers. Several may live at
// once, each below its own scratch key; the one made or used last is the one
// HKEY_LOCAL_MACHINE shows.
struct ScratchCatalogue {
    explicit ScratchCatalogue(const char* name = "Machine"); // creates the catalogue key
    ~ScratchCatalogue(); // removes everything and restores HKEY_LOCAL_MACHINE
    ScratchCatalogue(const ScratchCatalogue&) = delete;
    ScratchCatalogue& operator=(const ScratchCatalogue&) = delete;

    // Makes HKEY_LOCAL_MACHINE show this catalogue again.
    void Use() const;
    // A provider subkey; with no image path, no "Image Path" value is written.
    void AddProvider(const std::string& name, DWORD type, const std::string& imagePath = "");
    // A provider subkey whose "Type" value has the given registry type and bytes.
    void AddProviderRaw(const std::string& name, DWORD valueType, const std::vector<BYTE>& bytes);
    void AddProviderWithoutType(const std::string& name);
    // Removes the catalogue key itself (Wine's providers are not in it).
    void RemoveCatalogueKey();
    // The catalogue key's path below HKEY_CURRENT_USER.
    std::string CatalogueKeyPath() const;

    std::string root;
    HKEY rootKey = nullptr;
};
