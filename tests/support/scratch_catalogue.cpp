#include "support/scratch_catalogue.h"

#include <gtest/gtest.h>

#include "provider/provider.h"
#include "support/common.h"

namespace {
std::wstring Wide(const std::string& narrow) {
    std::wstring wide(narrow.size(), L'\0'); // never more characters than bytes
    wide.resize(MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()),
                                    wide.data(), static_cast<int>(wide.size())));
    return wide;
}

const std::wstring CataloguePath = Wide(ProviderKeyPath); // below the scratch key

bool IsAtOrBelow(const std::wstring& path, const std::wstring& top) {
    return path.starts_with(top) &&
           (top.empty() || path.size() == top.size() || path[top.size()] == L'\\');
}

// The keys that this executable's code opened and hasn't closed, by the path
// each was opened by. Keyscry opens keys by RegOpenKeyA alone (the image
// tests pin its imports) from code compiled into the executable, so its calls
// pass through the executable's import table, where these two stand in; the
// platform's own opens, made inside advapi32, don't.
std::map<HKEY, std::string> heldKeys;
const auto realOpenKey = Advapi32<decltype(&RegOpenKeyA)>("RegOpenKeyA");
const auto realCloseKey = Advapi32<decltype(&RegCloseKey)>("RegCloseKey");

LONG WINAPI OpenKeyAndHold(HKEY parent, LPCSTR path, PHKEY key) {
    const LONG result = realOpenKey(parent, path, key);
    if (result == ERROR_SUCCESS)
        heldKeys[*key] = path ? path : "";
    return result;
}

LONG WINAPI CloseHeldKey(HKEY key) {
    heldKeys.erase(key);
    return realCloseKey(key);
}

// At start-up, before any test: compiled code may keep an import's address
// from one call to the next.
const bool redirected =
    RedirectImports(realOpenKey, OpenKeyAndHold) && RedirectImports(realCloseKey, CloseHeldKey);

// The key `subkey` of `parent`, found at `path` below the scratch key, and
// every key below it, with their values as the registry holds them now.
void ReadKeys(HKEY parent, const std::wstring& subkey, const std::wstring& path,
              ScratchCatalogue::Keys& keys) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    DWORD longestName = 0, largestData = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     &longestName, &largestData, nullptr, nullptr);
    std::vector<wchar_t> name(std::max(longestName + 1, 256ul));
    std::vector<BYTE> data(largestData);
    ScratchCatalogue::Values& values = keys[path] = {};
    for (DWORD index = 0;; ++index) {
        DWORD length = name.size(), size = largestData, type = 0;
        if (RegEnumValueW(key, index, name.data(), &length, nullptr, &type, data.data(), &size))
            break;
        values[{name.data(), length}] = {type, {data.begin(), data.begin() + size}};
    }
    for (DWORD index = 0;; ++index) {
        DWORD length = name.size();
        if (RegEnumKeyExW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr))
            break;
        const std::wstring child(name.data(), length);
        ReadKeys(key, child, path.empty() ? child : path + L"\\" + child, keys);
    }
    RegCloseKey(key);
}

// Creates a provider's key and lets `write` fill it; what the key then holds
// is what the test wrote. By "W" calls: Wine's "A" calls take 260 characters.
template <typename Write>
void WriteProviderKey(ScratchCatalogue& catalogue, const std::wstring& name, Write write) {
    const std::wstring path = CataloguePath + L"\\" + name;
    catalogue.ExpectOnlyWhatTheTestWrote(path); // before the test's own write hides Keyscry's
    HKEY key = nullptr;
    RegCreateKeyW(catalogue.rootKey, path.c_str(), &key);
    write(key);
    ReadKeys(catalogue.rootKey, path, path, catalogue.written);
    RegCloseKey(key);
}
} // namespace

ScratchCatalogue::ScratchCatalogue(const char* name)
    : root(std::string("Software\\KeyscryTests\\") + name) {
    RegDeleteTreeA(HKEY_CURRENT_USER, root.c_str());
    RegCreateKeyA(HKEY_CURRENT_USER, root.c_str(), &rootKey);
    HKEY catalogue = nullptr;
    RegCreateKeyA(HKEY_CURRENT_USER, CatalogueKeyPath().c_str(), &catalogue);
    RegCloseKey(catalogue);
    // As on every machine; where it lacks, opening a provider writes one.
    const char guid[] = "4b657973-6372-7954-6573-744d61636869";
    RegSetKeyValueA(rootKey, "SOFTWARE\\Microsoft\\Cryptography", "MachineGuid", REG_SZ, guid,
                    sizeof guid);
    ReadKeys(rootKey, L"", L"", written);
    Use();
    // The check must see a key opened and closed as Keyscry does it, or fail.
    HKEY seen = nullptr;
    RegOpenKeyA(HKEY_LOCAL_MACHINE, ProviderKeyPath, &seen);
    const bool opened = heldKeys.count(seen);
    RegCloseKey(seen);
    EXPECT_TRUE(redirected && opened && !heldKeys.count(seen)) << "the keys opened can't be seen";
    keysHeld = heldKeys;
}

ScratchCatalogue::~ScratchCatalogue() {
    ExpectOnlyWhatTheTestWrote(L"");
    Use(); // a catalogue made after this one and gone took HKEY_LOCAL_MACHINE's key along
    EXPECT_EQ(heldKeys, keysHeld) << "keys that Keyscry opened and left open";
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegCloseKey(rootKey);
    RegDeleteTreeA(HKEY_CURRENT_USER, root.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, root.c_str());
}

void ScratchCatalogue::ExpectOnlyWhatTheTestWrote(const std::wstring& path) const {
    Keys found;
    ReadKeys(rootKey, path, path, found);
    std::string changes;
    for (const auto& [key, values] : found)
        if (!written.count(key) || written.at(key) != values)
            changes += "\n  new or changed: " + Narrow(key.c_str());
    for (const auto& [key, values] : written)
        if (IsAtOrBelow(key, path) && !found.count(key))
            changes += "\n  gone: " + Narrow(key.c_str());
    EXPECT_TRUE(changes.empty()) << "below HKEY_CURRENT_USER\\" << root
                                 << ", what the test didn't write:" << changes;
}

void ScratchCatalogue::Use() const {
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, rootKey);
}

std::string ScratchCatalogue::CatalogueKeyPath() const {
    return root + "\\" + ProviderKeyPath;
}

void ScratchCatalogue::AddProvider(const std::string& name, DWORD type,
                                   const std::string& imagePath) {
    AddProvider(Wide(name), type, imagePath);
}

void ScratchCatalogue::AddProvider(const std::wstring& name, DWORD type,
                                   const std::string& imagePath) {
    WriteProviderKey(*this, name, [&](HKEY key) {
        RegSetValueExA(key, "Type", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&type),
                       sizeof type);
        if (!imagePath.empty())
            RegSetValueExA(key, "Image Path", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(imagePath.c_str()),
                           static_cast<DWORD>(imagePath.size() + 1));
    });
}

void ScratchCatalogue::AddProviderRaw(const std::string& name, DWORD valueType,
                                      const std::vector<BYTE>& bytes) {
    WriteProviderKey(*this, Wide(name), [&](HKEY key) {
        RegSetValueExA(key, "Type", 0, valueType, bytes.data(), static_cast<DWORD>(bytes.size()));
    });
}

void ScratchCatalogue::AddProviderWithoutType(const std::string& name) {
    WriteProviderKey(*this, Wide(name), [](HKEY) {});
}

void ScratchCatalogue::RemoveCatalogueKey() {
    ExpectOnlyWhatTheTestWrote(CataloguePath);
    RegDeleteTreeA(HKEY_CURRENT_USER, CatalogueKeyPath().c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, CatalogueKeyPath().c_str());
    std::erase_if(written, [](const auto& key) { return IsAtOrBelow(key.first, CataloguePath); });
}
