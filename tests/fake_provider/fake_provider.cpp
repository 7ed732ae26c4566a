// fake_provider.dll: a cryptographic service provider that enumerates what a
// test put under its settings key, or what a seeded script makes up, and
// records how it was called. fake_provider_config.h describes both.
#include "fake_provider_config.h"

#include <cstdint>
#include <cstdio>
#include <optional>

namespace {

// VTableProvStruc as CryptAcquireContext hands it to the provider; the
// platform header shows it only to old targets.
struct ProviderCallTable {
    DWORD Version;
    FARPROC FuncVerifyImage;
    FARPROC FuncReturnhWnd;
    DWORD dwProvType;
    BYTE* pbContextInfo;
    DWORD cbContextInfo;
    LPSTR pszProvName; // present from version 3 on
};

constexpr DWORD MaxScriptedEntries = 100000;
constexpr size_t MaxLoggedCalls = 256;

struct Settings {
    bool failAcquire = false;
    std::vector<std::vector<BYTE>> containers; // each name with its NUL, or raw bytes
    std::optional<DWORD> containerSize;
    std::vector<BYTE> algorithms; // records back to back
    std::vector<BYTE> algorithmTemplate;
    std::optional<DWORD> algorithmCount; // repeats of the template
    std::optional<DWORD> algorithmSize;
    std::optional<DWORD> sizeReported;
    bool failFirstDataCall = false;
    DWORD trueValue = TRUE;
    DWORD endless = 0; // FakeEndless* bits
    std::optional<DWORD> seed;
};

struct Enumeration {
    size_t cursor = 0;
    bool ended = false;  // a data call was told "no more" since the last CRYPT_FIRST
    DWORD answered = 0;  // data calls that returned nonzero since then
    DWORD length = 0;    // scripted: entries in this enumeration
    DWORD flakiness = 0; // scripted: 0, or one call in 2^flakiness misbehaves
};

struct Session {
    bool inUse = false;
    std::string name;
    Settings settings;
    Enumeration containers;
    Enumeration algorithms;
    uint32_t random = 0;            // the script's own stream, seeded per open
    std::vector<std::string> calls; // the call log of this open
};

// A handful of handles open at once is plenty; the handle is the slot + 1.
Session sessions[16];

// ---- registry -------------------------------------------------------------

std::optional<std::vector<BYTE>> ReadSetting(const std::string& provider, const char* valueName) {
    HKEY key = OpenFakeProviderKey(provider, false);
    if (!key)
        return std::nullopt;
    DWORD size = 0;
    std::optional<std::vector<BYTE>> bytes;
    if (RegQueryValueExA(key, valueName, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
        bytes.emplace(size);
        if (RegQueryValueExA(key, valueName, nullptr, nullptr, bytes->data(), &size) !=
            ERROR_SUCCESS)
            bytes.reset();
    }
    RegCloseKey(key);
    return bytes;
}

std::optional<DWORD> ReadDwordSetting(const std::string& provider, const char* valueName) {
    std::optional<std::vector<BYTE>> bytes = ReadSetting(provider, valueName);
    if (!bytes || bytes->size() != sizeof(DWORD))
        return std::nullopt;
    DWORD value;
    std::memcpy(&value, bytes->data(), sizeof value);
    return value;
}

void WriteRecord(const std::string& provider, const char* valueName, DWORD value) {
    SetFakeProviderValue(provider, valueName, value);
}

void AddToRecord(const std::string& provider, const char* valueName, DWORD amount) {
    WriteRecord(provider, valueName, FakeProviderRecord(provider, valueName) + amount);
}

Settings ReadSettings(const std::string& provider) {
    Settings settings;
    settings.failAcquire = ReadDwordSetting(provider, "FailAcquire").value_or(0) != 0;
    if (std::optional<std::vector<BYTE>> multi = ReadSetting(provider, "Containers")) {
        std::vector<BYTE> name;
        for (BYTE byte : *multi) {
            name.push_back(byte);
            if (byte == 0) {
                if (name.size() == 1)
                    break; // the empty string that ends the list
                settings.containers.push_back(name);
                name.clear();
            }
        }
    }
    if (std::optional<std::vector<BYTE>> raw = ReadSetting(provider, "ContainerRaw"))
        settings.containers.push_back(*raw);
    settings.containerSize = ReadDwordSetting(provider, "ContainerSize");
    settings.algorithms = ReadSetting(provider, "Algorithms").value_or(std::vector<BYTE>{});
    settings.algorithmCount = ReadDwordSetting(provider, "AlgorithmCount");
    settings.algorithmTemplate =
        ReadSetting(provider, "AlgorithmTemplate").value_or(std::vector<BYTE>{});
    settings.algorithmTemplate.resize(FakeAlgorithmRecordSize);
    settings.algorithmSize = ReadDwordSetting(provider, "AlgorithmSize");
    settings.sizeReported = ReadDwordSetting(provider, "SizeReported");
    settings.failFirstDataCall = ReadDwordSetting(provider, "FailFirstDataCall").value_or(0) != 0;
    settings.trueValue = ReadDwordSetting(provider, "TrueValue").value_or(TRUE);
    settings.endless = ReadDwordSetting(provider, "Endless").value_or(0);
    settings.seed = ReadDwordSetting(provider, "Seed");
    return settings;
}

// ---- the seeded script ----------------------------------------------------

uint32_t Mix(uint32_t value) {
    value ^= value >> 16;
    value *= 0x7FEB352Du;
    value ^= value >> 15;
    value *= 0x846CA68Bu;
    value ^= value >> 16;
    return value ? value : 0x9E3779B9u; // xorshift must never hold zero
}

uint32_t Next(uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

// One chance in `in`.
bool OneIn(uint32_t& state, uint32_t in) {
    return Next(state) % in == 0;
}

DWORD OddNumber(uint32_t& state) {
    static const DWORD special[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 99999, 100000};
    return OneIn(state, 2) ? special[Next(state) % std::size(special)] : Next(state);
}

void FillText(uint32_t& state, BYTE* text, size_t capacity) {
    size_t length = Next(state) % (capacity + 1);
    for (size_t i = 0; i < length; ++i)
        text[i] = static_cast<BYTE>(1 + Next(state) % 255); // any byte but NUL
    if (length < capacity)
        text[length] = 0; // otherwise the text has no NUL
}

// The entries of a scripted enumeration depend only on the seed and their
// place, so a call that is refused and repeated meets the same entry.
std::vector<BYTE> ScriptedEntry(DWORD seed, DWORD param, size_t index) {
    uint32_t state = Mix(seed ^ Mix(param * 0x10001u + static_cast<uint32_t>(index)));
    std::vector<BYTE> entry;
    if (param == PP_ENUMCONTAINERS) {
        switch (Next(state) % 8) {
        case 0:
            entry.resize(0);
            break;
        case 1:
            entry.resize(90 + Next(state) % 80);
            break; // around the 100-byte buffer
        case 2:
            entry.resize(1 + Next(state) % 600);
            break;
        default:
            entry.resize(1 + Next(state) % 40);
            break;
        }
        FillText(state, entry.data(), entry.size());
        return entry;
    }
    switch (Next(state) % 8) {
    case 0:
        entry.resize(Next(state) % FakeAlgorithmRecordSize);
        break; // short
    case 1:
        entry.resize(FakeAlgorithmRecordSize + 1 + Next(state) % 400);
        break; // larger
    default:
        entry.resize(FakeAlgorithmRecordSize);
        break;
    }
    PROV_ENUMALGS_EX record{};
    record.aiAlgid = Next(state);
    record.dwDefaultLen = OddNumber(state);
    record.dwMinLen = OddNumber(state);
    record.dwMaxLen = OddNumber(state);
    record.dwProtocols = OddNumber(state);
    record.dwNameLen = OddNumber(state);
    FillText(state, reinterpret_cast<BYTE*>(record.szName), sizeof record.szName);
    record.dwLongNameLen = OddNumber(state);
    FillText(state, reinterpret_cast<BYTE*>(record.szLongName), sizeof record.szLongName);
    std::memcpy(entry.data(), &record, std::min(entry.size(), sizeof record));
    for (size_t i = sizeof record; i < entry.size(); ++i)
        entry[i] = static_cast<BYTE>(Next(state));
    return entry;
}

void StartScriptedEnumeration(Session& session, Enumeration& enumeration) {
    uint32_t& state = session.random;
    uint32_t pick = Next(state) % 64;
    if (pick < 8)
        enumeration.length = 0;
    else if (pick < 48)
        enumeration.length = 1 + Next(state) % 20;
    else if (pick < 60)
        enumeration.length = 21 + Next(state) % 2000;
    else if (pick < 63)
        enumeration.length = 2021 + Next(state) % 20000;
    else
        enumeration.length = 22021 + Next(state) % (MaxScriptedEntries - 22021 + 1);
    // Half the enumerations behave; long ones would hardly ever reach their
    // end otherwise.
    enumeration.flakiness = OneIn(state, 2) ? 0 : 2 + Next(state) % 7;
}

bool Misbehaves(Session& session, const Enumeration& enumeration) {
    return enumeration.flakiness != 0 && OneIn(session.random, 1u << enumeration.flakiness);
}

// ---- entries --------------------------------------------------------------

// The entry under the cursor and the size the provider claims for it, or
// nothing past the end.
std::optional<std::vector<BYTE>> EntryAt(const Session& session, DWORD param, size_t index) {
    const Settings& settings = session.settings;
    if (settings.seed) {
        const Enumeration& enumeration =
            param == PP_ENUMCONTAINERS ? session.containers : session.algorithms;
        if (index >= enumeration.length)
            return std::nullopt;
        return ScriptedEntry(*settings.seed, param, index);
    }
    if (param == PP_ENUMCONTAINERS && (settings.endless & FakeEndlessContainers)) {
        std::string digits = std::to_string(index);
        std::string name =
            "Endless " + std::string(10 - std::min<size_t>(digits.size(), 10), '0') + digits;
        return std::vector<BYTE>(name.c_str(), name.c_str() + name.size() + 1);
    }
    if (param == PP_ENUMALGS_EX && (settings.endless & FakeEndlessAlgorithms))
        return settings.algorithmTemplate;
    if (param == PP_ENUMCONTAINERS) {
        if (index >= settings.containers.size())
            return std::nullopt;
        return settings.containers[index];
    }
    if (settings.algorithmCount) {
        if (index >= *settings.algorithmCount)
            return std::nullopt;
        return settings.algorithmTemplate;
    }
    size_t offset = index * FakeAlgorithmRecordSize;
    if (offset + FakeAlgorithmRecordSize > settings.algorithms.size())
        return std::nullopt;
    return std::vector<BYTE>(settings.algorithms.begin() + offset,
                             settings.algorithms.begin() + offset + FakeAlgorithmRecordSize);
}

DWORD RequiredSize(const Session& session, DWORD param, const std::vector<BYTE>& entry) {
    const Settings& settings = session.settings;
    if (!settings.seed) {
        if (param == PP_ENUMCONTAINERS && settings.containerSize)
            return *settings.containerSize;
        if (param == PP_ENUMALGS_EX && settings.algorithmSize)
            return *settings.algorithmSize;
    }
    return static_cast<DWORD>(entry.size());
}

Session* SessionOf(HCRYPTPROV handle) {
    if (handle == 0 || handle > std::size(sessions) || !sessions[handle - 1].inUse)
        return nullptr;
    return &sessions[handle - 1];
}

std::string OwnModuleBaseName() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&OwnModuleBaseName), &module);
    char path[MAX_PATH] = "";
    GetModuleFileNameA(module, path, sizeof path);
    std::string name = path;
    name = name.substr(name.find_last_of("\\/") + 1);
    return name.substr(0, name.find_last_of('.'));
}

// Error codes mix ERROR_* and NTE_* (HRESULT) constants.
BOOL Fail(LONG error) {
    SetLastError(static_cast<DWORD>(error));
    return FALSE;
}

BOOL AnswerEnumeration(Session& session, DWORD param, BYTE* data, DWORD* dataLength, DWORD flags) {
    Enumeration& enumeration = param == PP_ENUMCONTAINERS ? session.containers : session.algorithms;
    if (flags & CRYPT_FIRST) {
        enumeration = Enumeration{};
        if (session.settings.seed)
            StartScriptedEnumeration(session, enumeration);
    }
    if (data && enumeration.ended)
        AddToRecord(session.name, "CallsAfterEnd", 1);
    uint32_t& state = session.random;
    if (Misbehaves(session, enumeration) && OneIn(state, 2)) {
        static const LONG errors[] = {ERROR_INVALID_PARAMETER, NTE_BAD_TYPE, NTE_FAIL,
                                      ERROR_MORE_DATA, NTE_BAD_FLAGS};
        return Fail(errors[Next(state) % std::size(errors)]);
    }
    std::optional<std::vector<BYTE>> entry = EntryAt(session, param, enumeration.cursor);
    if (!entry) {
        if (data)
            enumeration.ended = true;
        return Fail(ERROR_NO_MORE_ITEMS);
    }
    DWORD size = RequiredSize(session, param, *entry);
    if (!data) {
        *dataLength = session.settings.seed ? size : session.settings.sizeReported.value_or(size);
        if (Misbehaves(session, enumeration)) {
            static const DWORD oddSizes[] = {0, 1, 0xFFFFFFFF, 0x80000000, 100000};
            *dataLength = oddSizes[Next(state) % std::size(oddSizes)];
        }
        return TRUE;
    }
    if ((flags & CRYPT_FIRST) && session.settings.failFirstDataCall && !session.settings.seed)
        return Fail(NTE_FAIL);
    if (*dataLength < size) {
        *dataLength = size;
        return Fail(ERROR_MORE_DATA);
    }
    std::memcpy(data, entry->data(), std::min<size_t>(size, entry->size()));
    if (size > entry->size())
        std::memset(data + entry->size(), 0, size - entry->size());
    *dataLength = size;
    ++enumeration.cursor;
    ++enumeration.answered;
    BOOL result = static_cast<BOOL>(session.settings.trueValue);
    if (Misbehaves(session, enumeration)) {
        static const BOOL oddTrues[] = {2, -1, 0x100, 0x7FFFFFFF};
        result = oddTrues[Next(state) % std::size(oddTrues)];
    }
    if (result == FALSE)
        --enumeration.answered;
    return result;
}

std::string Hex(DWORD value) {
    char text[12];
    std::snprintf(text, sizeof text, "%lX", value);
    return text;
}

void WriteCallLog(const std::string& provider, const std::vector<std::string>& calls) {
    std::string multi;
    for (const std::string& call : calls)
        multi += call + '\0';
    multi += '\0';
    SetFakeProviderBytes(provider, "CallLog", REG_MULTI_SZ, multi.data(), multi.size());
}

} // namespace

#define FAKE_EXPORT extern "C" __declspec(dllexport)

FAKE_EXPORT BOOL WINAPI CPAcquireContext(HCRYPTPROV* handle, LPSTR container, DWORD flags,
                                         ProviderCallTable* callTable) {
    std::string name = callTable && callTable->Version >= 3 && callTable->pszProvName
                           ? callTable->pszProvName
                           : OwnModuleBaseName();
    const std::string call =
        "open " + (container ? '"' + std::string(container) + '"' : "null") + " " + Hex(flags);
    WriteCallLog(name, {call}); // a failed open is the whole log
    AddToRecord(name, "OpenCount", 1);
    WriteRecord(name, "LastOpenFlags", flags);
    if (!(flags & CRYPT_VERIFYCONTEXT))
        AddToRecord(name, "OpensWithoutVerifyContext", 1);
    WriteRecord(name, "ScriptedContainers", 0);
    WriteRecord(name, "ScriptedAlgorithms", 0);

    Settings settings = ReadSettings(name);
    uint32_t random = settings.seed ? Mix(*settings.seed) : 0;
    if (settings.failAcquire || (settings.seed && OneIn(random, 32)))
        return Fail(NTE_BAD_KEYSET);
    for (size_t slot = 0; slot < std::size(sessions); ++slot) {
        if (sessions[slot].inUse)
            continue;
        sessions[slot] = Session{};
        sessions[slot].inUse = true;
        sessions[slot].name = name;
        sessions[slot].settings = std::move(settings);
        sessions[slot].random = random;
        sessions[slot].calls = {call};
        *handle = slot + 1;
        return TRUE;
    }
    return Fail(NTE_NO_MEMORY);
}

FAKE_EXPORT BOOL WINAPI CPReleaseContext(HCRYPTPROV handle, DWORD flags) {
    Session* session = SessionOf(handle);
    if (!session)
        return Fail(NTE_BAD_UID);
    WriteRecord(session->name, "ScriptedContainers", session->containers.answered);
    WriteRecord(session->name, "ScriptedAlgorithms", session->algorithms.answered);
    session->calls.push_back("release " + Hex(flags));
    WriteCallLog(session->name, session->calls);
    *session = Session{};
    return TRUE;
}

FAKE_EXPORT BOOL WINAPI CPGetProvParam(HCRYPTPROV handle, DWORD param, BYTE* data,
                                       DWORD* dataLength, DWORD flags) {
    Session* session = SessionOf(handle);
    if (!session)
        return Fail(NTE_BAD_UID);
    if (flags & CRYPT_NEXT)
        WriteRecord(session->name, "SawCryptNext", 1);
    if (param != PP_ENUMCONTAINERS && param != PP_ENUMALGS_EX)
        return Fail(NTE_BAD_TYPE);
    if (!dataLength)
        return Fail(ERROR_INVALID_PARAMETER);
    const std::string before = std::to_string(*dataLength);
    BOOL result = AnswerEnumeration(*session, param, data, dataLength, flags);
    if (session->calls.size() < MaxLoggedCalls) {
        DWORD error = GetLastError();
        const char* name = param == PP_ENUMCONTAINERS ? "containers" : "algorithms";
        session->calls.push_back(std::string(name) + " " + Hex(flags) +
                                 (data ? " data " : " size ") + before + ">" +
                                 std::to_string(*dataLength) + " =" + std::to_string(result));
        SetLastError(error);
    }
    return result;
}

// Everything else a provider offers is refused.
#define FAKE_STUB(name, ...)                                                                       \
    FAKE_EXPORT BOOL WINAPI name(__VA_ARGS__) {                                                    \
        return Fail(E_NOTIMPL);                                                                    \
    }

FAKE_STUB(CPGenKey, HCRYPTPROV, ALG_ID, DWORD, HCRYPTKEY*)
FAKE_STUB(CPDeriveKey, HCRYPTPROV, ALG_ID, HCRYPTHASH, DWORD, HCRYPTKEY*)
FAKE_STUB(CPDestroyKey, HCRYPTPROV, HCRYPTKEY)
FAKE_STUB(CPSetKeyParam, HCRYPTPROV, HCRYPTKEY, DWORD, const BYTE*, DWORD)
FAKE_STUB(CPGetKeyParam, HCRYPTPROV, HCRYPTKEY, DWORD, BYTE*, DWORD*, DWORD)
FAKE_STUB(CPSetProvParam, HCRYPTPROV, DWORD, const BYTE*, DWORD)
FAKE_STUB(CPGenRandom, HCRYPTPROV, DWORD, BYTE*)
FAKE_STUB(CPGetUserKey, HCRYPTPROV, DWORD, HCRYPTKEY*)
FAKE_STUB(CPExportKey, HCRYPTPROV, HCRYPTKEY, HCRYPTKEY, DWORD, DWORD, BYTE*, DWORD*)
FAKE_STUB(CPImportKey, HCRYPTPROV, const BYTE*, DWORD, HCRYPTKEY, DWORD, HCRYPTKEY*)
FAKE_STUB(CPEncrypt, HCRYPTPROV, HCRYPTKEY, HCRYPTHASH, BOOL, DWORD, BYTE*, DWORD*, DWORD)
FAKE_STUB(CPDecrypt, HCRYPTPROV, HCRYPTKEY, HCRYPTHASH, BOOL, DWORD, BYTE*, DWORD*)
FAKE_STUB(CPCreateHash, HCRYPTPROV, ALG_ID, HCRYPTKEY, DWORD, HCRYPTHASH*)
FAKE_STUB(CPHashData, HCRYPTPROV, HCRYPTHASH, const BYTE*, DWORD, DWORD)
FAKE_STUB(CPHashSessionKey, HCRYPTPROV, HCRYPTHASH, HCRYPTKEY, DWORD)
FAKE_STUB(CPSignHash, HCRYPTPROV, HCRYPTHASH, DWORD, LPCWSTR, DWORD, BYTE*, DWORD*)
FAKE_STUB(CPDestroyHash, HCRYPTPROV, HCRYPTHASH)
FAKE_STUB(CPVerifySignature, HCRYPTPROV, HCRYPTHASH, const BYTE*, DWORD, HCRYPTKEY, LPCWSTR, DWORD)
FAKE_STUB(CPSetHashParam, HCRYPTPROV, HCRYPTHASH, DWORD, const BYTE*, DWORD)
FAKE_STUB(CPGetHashParam, HCRYPTPROV, HCRYPTHASH, DWORD, BYTE*, DWORD*, DWORD)
FAKE_STUB(CPDuplicateHash, HCRYPTPROV, HCRYPTHASH, DWORD*, DWORD, HCRYPTHASH*)
FAKE_STUB(CPDuplicateKey, HCRYPTPROV, HCRYPTKEY, DWORD*, DWORD, HCRYPTKEY*)
