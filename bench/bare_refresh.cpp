#include "bare_refresh.h"

#include <wincrypt.h>

#include "bench_timing.h"
#include "provider/provider.h"

const char* const BareRefreshSectionNames[BareRefreshSections] = {
    "provider box read, list and container box emptied",
    "type lookup (registry, SetWindowTextA)",
    "CryptAcquireContextA",
    "containers (2 CryptGetProvParam + CB_ADDSTRING each)",
    "algorithms (2 CryptGetProvParam + wsprintfA + LB_INSERTSTRING each)",
    "CryptReleaseContext"};

namespace {

char providerName[255];
char keyPath[255];
char containerName[100];
char rowText[550];
PROV_ENUMALGS_EX record;

void Stamp(double* sections, BareRefreshSection section, double& last) {
    if (!sections)
        return;
    double now = MillisecondsNow();
    sections[section] += now - last;
    last = now;
}

} // namespace

bool BareRefresh(const BareRefreshControls& controls, double* sections) {
    double last = sections ? MillisecondsNow() : 0;
    LRESULT current = SendMessageA(controls.providerBox, CB_GETCURSEL, 0, 0);
    SendMessageA(controls.providerBox, CB_GETLBTEXTLEN, current, 0);
    SendMessageA(controls.providerBox, CB_GETLBTEXT, current,
                 reinterpret_cast<LPARAM>(providerName));
    SendMessageA(controls.list, LB_RESETCONTENT, 0, 0);
    SendMessageA(controls.containerBox, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SendMessageA(controls.containerBox, CB_RESETCONTENT, 0, 0);
    Stamp(sections, SectionBoxes, last);

    lstrlenA(providerName);
    lstrcpyA(keyPath, ProviderKeyPath);
    lstrcatA(keyPath, "\\");
    lstrcatA(keyPath, providerName);
    HKEY key = nullptr;
    RegOpenKeyA(HKEY_LOCAL_MACHINE, keyPath, &key);
    DWORD valueType = 0, type = 0, size = 0;
    RegQueryValueExA(key, "Type", nullptr, &valueType, nullptr, &size);
    size = sizeof type;
    RegQueryValueExA(key, "Type", nullptr, &valueType, reinterpret_cast<BYTE*>(&type), &size);
    SetWindowTextA(controls.typeField, ProviderTypeName(type));
    RegCloseKey(key);
    Stamp(sections, SectionTypeLookup, last);

    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextA(&provider, nullptr, providerName, type, CRYPT_VERIFYCONTEXT))
        return false;
    Stamp(sections, SectionAcquire, last);

    // Like Keyscry, one call with CRYPT_FIRST, then calls with 0 until one fails.
    DWORD length = 0, flags = CRYPT_FIRST;
    for (DWORD entries = 0; entries < MaxEnumeratedEntries; ++entries, flags = 0) {
        CryptGetProvParam(provider, PP_ENUMCONTAINERS, nullptr, &length, flags);
        if (length > sizeof containerName)
            length = sizeof containerName;
        BOOL result = CryptGetProvParam(provider, PP_ENUMCONTAINERS,
                                        reinterpret_cast<BYTE*>(containerName), &length, flags);
        if (result)
            SendMessageA(controls.containerBox, CB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(containerName));
        if (result != TRUE && flags == 0)
            break;
    }
    SendMessageA(controls.containerBox, CB_SETCURSEL, 0, 0);
    Stamp(sections, SectionContainers, last);

    flags = CRYPT_FIRST;
    for (DWORD entries = 0; entries < MaxEnumeratedEntries; ++entries, flags = 0) {
        CryptGetProvParam(provider, PP_ENUMALGS_EX, nullptr, &length, flags);
        if (length > sizeof record)
            length = sizeof record;
        BOOL result = CryptGetProvParam(provider, PP_ENUMALGS_EX, reinterpret_cast<BYTE*>(&record),
                                        &length, flags);
        if (result) {
            record.szLongName[30] = 0; // the rows show the same text as Keyscry's
            wsprintfA(rowText, "%-15s   %03Xh   %-30s         %5d  %5d  %5d", record.szName,
                      record.dwProtocols, record.szLongName, record.dwMinLen, record.dwMaxLen,
                      record.dwDefaultLen);
            SendMessageA(controls.list, LB_INSERTSTRING, static_cast<WPARAM>(-1),
                         reinterpret_cast<LPARAM>(rowText));
        }
        if (result != TRUE && flags == 0)
            break;
    }
    Stamp(sections, SectionAlgorithms, last);

    CryptReleaseContext(provider, 0);
    Stamp(sections, SectionRelease, last);
    return true;
}
