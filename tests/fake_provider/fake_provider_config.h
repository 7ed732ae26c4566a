// fake_provider.dll, a stand-in cryptographic service provider for tests:
// telling it what to answer, and reading back what it recorded.
//
// A test registers it in a scratch catalogue, whose "Image Path" names the DLL
// (catalogue.AddProvider("Fake A", PROV_RSA_FULL, FakeProviderPath()));
// every keyscry_wine_test executable is built after it. Each open takes its
// provider name from CryptAcquireContextA (without one, the DLL's file name)
// and reads that name's settings, once per open, below
// HKCU\<FakeProviderConfigRoot>: HKLM is the scratch catalogue.
//
// Settings, all optional (DWORDs unless named otherwise):
//   FailAcquire        nonzero: the open fails with NTE_BAD_KEYSET
//   Containers, ContainerRaw  the container names in order (MULTI_SZ), then
//                      one entry of raw bytes (BINARY, e.g. 100 without a NUL)
//   ContainerSize      the size every container answer reports and requires
//   Algorithms         88-byte records back to back, in order (BINARY); or
//   AlgorithmTemplate, AlgorithmCount  one record, that many times
//   AlgorithmSize      the size every algorithm answer reports and requires
//   SizeReported       what every size query that finds an entry reports
//   FailFirstDataCall  nonzero: a data call with CRYPT_FIRST fails (NTE_FAIL)
//   TrueValue          what a successful data call returns (default 1)
//   Endless            FakeEndless* bits: that enumeration answers for ever,
//                      its list ignored: "Endless " and k in ten digits for
//                      container k, the template for every algorithm
//   Seed               every answer and open comes from a script seeded with
//                      it, the other settings ignored; the same seed and
//                      calls get the same answers, hostile ones included
//
// Enumeration, as a provider does it: CRYPT_FIRST puts the cursor back on the
// first entry (size queries too). A size query (no buffer) reports the entry's
// size. A data call with a smaller length word gets the size in it, FALSE and
// ERROR_MORE_DATA; otherwise the entry, cut or padded with zeros to the size,
// and the cursor moves on. Past the end both fail with ERROR_NO_MORE_ITEMS.
//
// Records, under the same key (FakeProviderRecord): OpenCount, LastOpenFlags,
// OpensWithoutVerifyContext, SawCryptNext (1 once a call passed CRYPT_NEXT);
// ScriptedContainers and ScriptedAlgorithms, each enumeration's data calls
// since its latest CRYPT_FIRST that returned nonzero, in any mode (0 at each
// open, written on release); CallsAfterEnd, data calls since the settings were
// cleared that came after a "no more" and no CRYPT_FIRST since (Keyscry makes
// one whenever the first data call already gets "no more"); CallLog (below).
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

constexpr char FakeProviderConfigRoot[] = "Software\\KeyscryTests\\FakeProvider";

constexpr DWORD FakeEndlessContainers = 1;
constexpr DWORD FakeEndlessAlgorithms = 2;

constexpr DWORD FakeAlgorithmRecordSize = sizeof(PROV_ENUMALGS_EX);
static_assert(FakeAlgorithmRecordSize == 88);

// The provider's key, opened below the root: Wine's "A" registry calls take
// at most 260 characters of path, and a provider name may have up to 255.
// Null when it doesn't exist and isn't to be created.
inline HKEY OpenFakeProviderKey(const std::string& provider, bool create) {
    HKEY root = nullptr;
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, FakeProviderConfigRoot, &root) != ERROR_SUCCESS)
        return nullptr;
    if (create)
        RegCreateKeyA(root, provider.c_str(), &key);
    else
        RegOpenKeyExA(root, provider.c_str(), 0, KEY_READ, &key);
    RegCloseKey(root);
    return key;
}

// Removes every setting and record of the provider.
inline void ClearFakeProvider(const std::string& provider) {
    HKEY root = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, FakeProviderConfigRoot, 0, KEY_ALL_ACCESS, &root) !=
        ERROR_SUCCESS)
        return;
    RegDeleteTreeA(root, provider.c_str());
    RegDeleteKeyA(root, provider.c_str());
    RegCloseKey(root);
}

inline void SetFakeProviderBytes(const std::string& provider, const char* valueName,
                                 DWORD valueType, const void* bytes, size_t size) {
    HKEY key = OpenFakeProviderKey(provider, true);
    RegSetValueExA(key, valueName, 0, valueType, static_cast<const BYTE*>(bytes),
                   static_cast<DWORD>(size));
    RegCloseKey(key);
}

inline void SetFakeProviderValue(const std::string& provider, const char* valueName, DWORD value) {
    SetFakeProviderBytes(provider, valueName, REG_DWORD, &value, sizeof value);
}

inline void SetFakeProviderContainers(const std::string& provider,
                                      const std::vector<std::string>& names) {
    std::string multi;
    for (const std::string& name : names)
        multi += name + '\0';
    multi += '\0';
    SetFakeProviderBytes(provider, "Containers", REG_MULTI_SZ, multi.data(), multi.size());
}

inline void SetFakeProviderContainerRaw(const std::string& provider,
                                        const std::vector<BYTE>& bytes) {
    SetFakeProviderBytes(provider, "ContainerRaw", REG_BINARY, bytes.data(), bytes.size());
}

inline void SetFakeProviderAlgorithms(const std::string& provider,
                                      const std::vector<PROV_ENUMALGS_EX>& records) {
    SetFakeProviderBytes(provider, "Algorithms", REG_BINARY, records.data(),
                         records.size() * sizeof(PROV_ENUMALGS_EX));
}

inline void SetFakeProviderAlgorithmTemplate(const std::string& provider,
                                             const PROV_ENUMALGS_EX& record, DWORD count) {
    SetFakeProviderBytes(provider, "AlgorithmTemplate", REG_BINARY, &record, sizeof record);
    SetFakeProviderValue(provider, "AlgorithmCount", count);
}

// A record; names are copied byte for byte, so a name of 20 characters fills
// szName with no NUL and a description of 40 fills szLongName likewise.
inline PROV_ENUMALGS_EX FakeAlgorithm(ALG_ID id, const std::string& name, DWORD protocols,
                                      const std::string& longName, DWORD minLength, DWORD maxLength,
                                      DWORD defaultLength) {
    PROV_ENUMALGS_EX record{};
    record.aiAlgid = id;
    record.dwDefaultLen = defaultLength;
    record.dwMinLen = minLength;
    record.dwMaxLen = maxLength;
    record.dwProtocols = protocols;
    std::memcpy(record.szName, name.data(), std::min(name.size(), sizeof record.szName));
    record.dwNameLen = static_cast<DWORD>(std::min(name.size() + 1, sizeof record.szName));
    std::memcpy(record.szLongName, longName.data(),
                std::min(longName.size(), sizeof record.szLongName));
    record.dwLongNameLen =
        static_cast<DWORD>(std::min(longName.size() + 1, sizeof record.szLongName));
    return record;
}

// The latest open's calls, a row each: "open CONTAINER FLAGS" (the name in
// quotes, or null), up to 255 enumeration calls "PARAM FLAGS KIND IN>OUT
// =RESULT" (containers or algorithms; size for a null buffer, else data; the
// length word on entry and on return), and "release FLAGS" once released.
// Flags in hexadecimal. None when there is no log.
inline std::vector<std::string> FakeProviderCallLog(const std::string& provider) {
    std::vector<std::string> calls;
    HKEY key = OpenFakeProviderKey(provider, false);
    char multi[65536] = {};
    DWORD size = sizeof multi - 1;
    if (key && RegQueryValueExA(key, "CallLog", nullptr, nullptr, reinterpret_cast<BYTE*>(multi),
                                &size) == ERROR_SUCCESS)
        for (const char* row = multi; row < multi + size && *row; row += calls.back().size() + 1)
            calls.push_back(row);
    RegCloseKey(key);
    return calls;
}

// A DWORD the provider recorded, or 0 when it recorded none.
inline DWORD FakeProviderRecord(const std::string& provider, const char* valueName) {
    HKEY key = OpenFakeProviderKey(provider, false);
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD valueType = 0;
    if (!key)
        return 0;
    if (RegQueryValueExA(key, valueName, nullptr, &valueType, reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS ||
        valueType != REG_DWORD)
        value = 0;
    RegCloseKey(key);
    return value;
}
