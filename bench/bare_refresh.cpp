#include "bare_refresh.h"

#include <wincrypt.h>

#include "provider/provider.h"
#include "support/keyscry_numbers.h"

namespace {

char providerName[255];
char keyPath[255];
char containerName[ContainerBuffer];
char rowText[550];
PROV_ENUMALGS_EX record;

// Like Keyscry: a size query and a data call with CRYPT_FIRST, then pairs
// with 0 until a data call returns anything but TRUE (at least one pair
// more), each data call given no more than the buffer holds. Calls `add`
// for each answer.
template <typename Add>
void Enumerate(HCRYPTPROV provider, DWORD param, void* buffer, DWORD capacity, DWORD& length,
               Add add) {
    DWORD flags = CRYPT_FIRST;
    for (DWORD entries = 0; entries < MaxEnumeratedEntries; ++entries, flags = 0) {
        CryptGetProvParam(provider, param, nullptr, &length, flags);
        if (length > capacity)
            length = capacity;
        BOOL result =
            CryptGetProvParam(provider, param, static_cast<BYTE*>(buffer), &length, flags);
        if (result)
            add();
        if (result != TRUE && flags == 0)
            break;
    }
}

} // namespace

bool BareRefresh(const BareRefreshControls& controls, DWORD& length) {
    LRESULT current = SendMessageA(controls.providerBox, CB_GETCURSEL, 0, 0);
    SendMessageA(controls.providerBox, CB_GETLBTEXTLEN, current, 0);
    SendMessageA(controls.providerBox, CB_GETLBTEXT, current,
                 reinterpret_cast<LPARAM>(providerName));
    SendMessageA(controls.list, LB_RESETCONTENT, 0, 0);
    SendMessageA(controls.containerBox, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SendMessageA(controls.containerBox, CB_RESETCONTENT, 0, 0);

    DWORD type = 0;
    HKEY key = nullptr;
    if (lstrlenA(providerName) <= MaxProviderNameInKeyPath) {
        lstrcpyA(keyPath, ProviderKeyPath);
        lstrcatA(keyPath, "\\");
        lstrcatA(keyPath, providerName);
        if (RegOpenKeyA(HKEY_LOCAL_MACHINE, keyPath, &key) == ERROR_SUCCESS) {
            DWORD valueType = 0, size = 0;
            RegQueryValueExA(key, "Type", nullptr, &valueType, nullptr, &size);
            if (size > sizeof type)
                size = sizeof type;
            if (RegQueryValueExA(key, "Type", nullptr, &valueType, reinterpret_cast<BYTE*>(&type),
                                 &size) == ERROR_SUCCESS)
                SetWindowTextA(controls.typeField, ProviderTypeName(type));
            else
                type = 0;
            RegCloseKey(key);
        }
    }

    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextA(&provider, nullptr, providerName, type, CRYPT_VERIFYCONTEXT))
        return false;
    Enumerate(provider, PP_ENUMCONTAINERS, containerName, sizeof containerName, length, [&] {
        containerName[sizeof containerName - 1] = 0;
        SendMessageA(controls.containerBox, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(containerName));
    });
    SendMessageA(controls.containerBox, CB_SETCURSEL, 0, 0);

    Enumerate(provider, PP_ENUMALGS_EX, &record, sizeof record, length, [&] {
        record.szLongName[30] = 0; // the rows show the same text as Keyscry's
        record.szName[sizeof record.szName - 1] = 0;
        wsprintfA(rowText, "%-15s   %03Xh   %-30s         %5d  %5d  %5d", record.szName,
                  record.dwProtocols, record.szLongName, record.dwMinLen, record.dwMaxLen,
                  record.dwDefaultLen);
        SendMessageA(controls.list, LB_INSERTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(rowText));
    });

    CryptReleaseContext(provider, 0);
    return true;
}
