#include "support/scratch_catalogue.h"

#include "provider/provider.h"

ScratchCatalogue::ScratchCatalogue(const char* name)
    : root(std::string("Software\\KeyscryTests\\") + name) {
    RegDeleteTreeA(HKEY_CURRENT_USER, root.c_str());
    RegCreateKeyA(HKEY_CURRENT_USER, root.c_str(), &rootKey);
    HKEY catalogue = nullptr;
    RegCreateKeyA(HKEY_CURRENT_USER, CatalogueKeyPath().c_str(), &catalogue);
    RegCloseKey(catalogue);
    Use();
}

ScratchCatalogue::~ScratchCatalogue() {
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegCloseKey(rootKey);
    RegDeleteTreeA(HKEY_CURRENT_USER, root.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, root.c_str());
}

void ScratchCatalogue::Use() const {
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, rootKey);
}

std::string ScratchCatalogue::CatalogueKeyPath() const {
    return root + "\\" + ProviderKeyPath;
}

namespace {
// Created below the catalogue key rather than by its whole path: Wine's "A"
// registry calls take at most 260 characters of path, and a provider name may
// have up to 255.
HKEY CreateProviderKey(const ScratchCatalogue& catalogue, const std::string& name) {
    HKEY parent = nullptr;
    RegOpenKeyA(HKEY_CURRENT_USER, catalogue.CatalogueKeyPath().c_str(), &parent);
    HKEY key = nullptr;
    RegCreateKeyA(parent, name.c_str(), &key);
    RegCloseKey(parent);
    return key;
}
} // namespace

void ScratchCatalogue::AddProvider(const std::string& name, DWORD type,
                                   const std::string& imagePath) {
    HKEY key = CreateProviderKey(*this, name);
    RegSetValueExA(key, "Type", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&type), sizeof type);
    if (!imagePath.empty())
        RegSetValueExA(key, "Image Path", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(imagePath.c_str()),
                       static_cast<DWORD>(imagePath.size() + 1));
    RegCloseKey(key);
}

void ScratchCatalogue::AddProviderRaw(const std::string& name, DWORD valueType,
                                      const std::vector<BYTE>& bytes) {
    HKEY key = CreateProviderKey(*this, name);
    RegSetValueExA(key, "Type", 0, valueType, bytes.data(), static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
}

void ScratchCatalogue::AddProviderWithoutType(const std::string& name) {
    RegCloseKey(CreateProviderKey(*this, name));
}

void ScratchCatalogue::RemoveCatalogueKey() {
    RegDeleteTreeA(HKEY_CURRENT_USER, CatalogueKeyPath().c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, CatalogueKeyPath().c_str());
}
