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

// The registry's own name of a key ("\\REGISTRY\\User\\..."); empty for a
// handle that is no key.
std::wstring KeyName(HANDLE key) {
    using QueryKey = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    static const auto queryKey = reinterpret_cast<QueryKey>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll"), "NtQueryKey")));
    ULONG name[520], length = 0; // KEY_NAME_INFORMATION: a length in bytes, then the name
    if (queryKey(key, 3 /* KeyNameInformation */, name, sizeof name, &length) != 0)
        return {};
    return {reinterpret_cast<const wchar_t*>(name + 1), name[0] / sizeof(wchar_t)};
}

// The keys at or below `top` that this process holds open, found by asking
// about every handle value in turn (Wine's GetProcessHandleCount answers 0).
// Keys of the platform's own, which it keeps for the process, lie elsewhere.
int OpenKeysAtOrBelow(const std::wstring& top) {
    int count = 0;
    for (ULONG_PTR value = 4; value < 0x2000; value += 4)
        count += IsAtOrBelow(KeyName(reinterpret_cast<HANDLE>(value)), top);
    return count;
}

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
    keysOpen = OpenKeysAtOrBelow(KeyName(rootKey));
}

ScratchCatalogue::~ScratchCatalogue() {
    ExpectOnlyWhatTheTestWrote(L"");
    Use(); // a catalogue made after this one and gone took HKEY_LOCAL_MACHINE's key along
    EXPECT_EQ(OpenKeysAtOrBelow(KeyName(rootKey)), keysOpen) << "keys of the catalogue left open";
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
