// Configuration of fake_provider.dll, a stand-in cryptographic service provider
// for tests, and read-back of what it recorded.
//
// Registering it: the catalogue entry's "Image Path" names the DLL, e.g.
//     ScratchCatalogue catalogue;
//     ClearFakeProvider("Fake A");
//     catalogue.AddProvider("Fake A", PROV_RSA_FULL, FakeProviderPath());
//     SetFakeProviderContainers("Fake A", {"c", "a", "b"});
// A test target that loads it lists it as a dependency:
//     add_dependencies(my_tests fake_provider)
//
// Each open learns its provider name from CryptAcquireContextA (Wine hands the
// name to CPAcquireContext; without it, the DLL's own file name stands in) and
// reads its settings from
// HKCU\Software\KeyscryTests\FakeProvider\<provider name>. HKCU, because tests
// redirect HKLM to a scratch catalogue; Keyscry itself never writes anything.
// Settings are read once per open, so a change shows from the next open on.
//
// Settings (all optional):
//   FailAcquire    DWORD      nonzero: CPAcquireContext fails with NTE_BAD_KEYSET
//   Containers     MULTI_SZ   container names, in enumeration order
//   ContainerRaw   BINARY     one more container after those of "Containers",
//                             given as raw bytes (e.g. 100 bytes without a NUL)
//   ContainerSize  DWORD      size every container answer reports and requires;
//                             without it, the entry's own size (name and NUL,
//                             or the raw bytes)
//   Algorithms     BINARY     PROV_ENUMALGS_EX records (88 bytes each) back to
//                             back, in enumeration order
//   AlgorithmTemplate BINARY  one 88-byte record ...
//   AlgorithmCount DWORD      ... enumerated this many times; when present the
//                             pair replaces "Algorithms" (large lists without
//                             large registry values)
//   AlgorithmSize  DWORD      size every algorithm answer reports and requires
//                             (default 88)
//   SizeReported   DWORD      what every size query that finds an entry
//                             reports, whatever the entry needs
//   FailFirstDataCall DWORD   nonzero: a data call with CRYPT_FIRST fails
//                             with NTE_FAIL and leaves the cursor
//   TrueValue      DWORD      what a successful data call returns (default 1)
//   Endless        DWORD      FakeEndlessContainers, FakeEndlessAlgorithms or
//                             both: that enumeration never ends, every call
//                             answers, for ever. Container k (from 0) is
//                             "Endless " and k in ten digits, so that the
//                             names sort in enumeration order; each algorithm
//                             is the template (zeroed when there is none).
//                             That enumeration's list ("Containers" and
//                             "ContainerRaw", or "Algorithms" and
//                             "AlgorithmCount") is then ignored
//   Seed           DWORD      when present, every answer comes from a script
//                             seeded with it instead (see below); the other
//                             settings are then ignored
//
// Enumeration (PP_ENUMCONTAINERS, PP_ENUMALGS_EX) as a provider does it:
// CRYPT_FIRST puts the cursor back on the first entry (size queries too). A
// size query (no buffer) reports the size of the entry under the cursor and
// doesn't move it. A data call whose length word is smaller than that size
// gets the size in the word, FALSE and ERROR_MORE_DATA, and doesn't move the
// cursor; otherwise it receives the entry (when the required size is larger
// than the entry, zero bytes pad it; when smaller, the entry is cut) and the
// cursor moves on. Past the last entry, size queries and data calls both
// return FALSE with ERROR_NO_MORE_ITEMS. Any other parameter fails with
// NTE_BAD_TYPE, and every other CP* entry point fails with E_NOTIMPL.
//
// The seeded script: the seed alone decides, so every open with the same seed
// and the same calls gets the same answers. Each enumeration has a length of
// its own (often none or a few, sometimes thousands, at most 100000) and then
// ends. Entries may be empty, larger than the caller's buffer, or strings
// without a NUL; algorithm records may be larger than PROV_ENUMALGS_EX and
// carry any field values. Any call may instead fail (a random error, the
// cursor staying), a size query may report 0 or a huge size, and a
// successful data call may return a TRUE other than 1. CPAcquireContext fails
// now and then too.
//
// Records, written back under the same key:
//   OpenCount                 DWORD  CPAcquireContext calls
//   LastOpenFlags             DWORD  dwFlags of the latest one
//   OpensWithoutVerifyContext DWORD  opens whose flags lacked CRYPT_VERIFYCONTEXT
//   SawCryptNext              DWORD  1 once any CPGetProvParam passed CRYPT_NEXT
//   ScriptedContainers        DWORD  data calls of the latest container
//   ScriptedAlgorithms        DWORD  (algorithm) enumeration of the latest
//                                    open that returned nonzero, in any mode;
//                                    0 from each open on, written on release
//   CallsAfterEnd             DWORD  data calls received, since the settings
//                                    were cleared, after a data call had been
//                                    answered ERROR_NO_MORE_ITEMS and without
//                                    a CRYPT_FIRST since. Keyscry makes one
//                                    such call whenever an enumeration's
//                                    first data call already gets "no more".
//   CallLog                   MULTI_SZ the latest open's calls, one row each, in
//                                    order: "open CONTAINER FLAGS" (the name
//                                    received in quotes, or null), then up to
//                                    255 calls for the two enumerations,
//                                    "PARAM FLAGS KIND IN>OUT =RESULT" (PARAM
//                                    containers or algorithms, KIND size for
//                                    a null buffer or data, IN and OUT the
//                                    length word on entry and on return),
//                                    and "release FLAGS" once released.
//                                    Flags in hexadecimal, the rest decimal.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

constexpr char FakeProviderConfigRoot[] = "Software\\KeyscryTests\\FakeProvider";

// The bits of the "Endless" setting.
constexpr DWORD FakeEndlessContainers = 1;
constexpr DWORD FakeEndlessAlgorithms = 2;

// A PROV_ENUMALGS_EX record is this big on 32-bit Windows.
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

// The rows of the "CallLog" record; none when there is no log.
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
