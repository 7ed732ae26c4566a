// Inspection of the provider that is current in the provider box: its type,
// its key containers and its algorithms. The provider is opened with a
// verification context only, so no private key is ever touched.
#include "provider/provider.h"

#include "app/app_state.h"

static const char OpenFailedText[] = "Impossible to open a Crytographic_Service_Provider !!!";

// One CryptGetProvParam size query, then the data call. The length word is
// lowered to the buffer's capacity, so a provider that asks for more makes
// the data call fail instead of writing past the buffer.
static BOOL ReadProviderParam(HCRYPTPROV providerHandle, DWORD param, void* buffer, DWORD capacity,
                              DWORD flags) {
    CryptGetProvParam(providerHandle, param, nullptr, &appState.dataLength, flags);
    if (appState.dataLength > capacity)
        appState.dataLength = capacity;
    return CryptGetProvParam(providerHandle, param, static_cast<BYTE*>(buffer),
                             &appState.dataLength, flags);
}

static void AddContainer() {
    // A provider may hand back a name without its NUL.
    appState.containerName[sizeof appState.containerName - 1] = 0;
    SendMessageA(appState.containerCombo, CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(appState.containerName));
}

static void AddAlgorithmRow() {
    FormatAlgorithmRow();
    SendMessageA(appState.algorithmList, LB_INSERTSTRING, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(appState.rowText));
}

// The first call passes CRYPT_FIRST, every later one 0. The loop ends at the
// first data call that doesn't return exactly TRUE, or at the entry bound.
static void EnumerateProviderParam(HCRYPTPROV providerHandle, DWORD param, void* buffer,
                                   DWORD capacity, void (*addEntry)()) {
    if (ReadProviderParam(providerHandle, param, buffer, capacity, CRYPT_FIRST))
        addEntry();
    BOOL result;
    DWORD entries = 1;
    do {
        result = ReadProviderParam(providerHandle, param, buffer, capacity, 0);
        if (result)
            addEntry();
    } while (result == TRUE && ++entries < MaxEnumeratedEntries);
}

void EnumerateContainers(HCRYPTPROV providerHandle) {
    EnumerateProviderParam(providerHandle, PP_ENUMCONTAINERS, appState.containerName,
                           sizeof appState.containerName, AddContainer);
    SendMessageA(appState.containerCombo, CB_SETCURSEL, 0, 0);
}

void EnumerateAlgorithms(HCRYPTPROV providerHandle) {
    EnumerateProviderParam(providerHandle, PP_ENUMALGS_EX, &appState.algorithmRecord,
                           sizeof appState.algorithmRecord, AddAlgorithmRow);
}

static void ReadCurrentProviderName() {
    LRESULT current = SendMessageA(appState.providerCombo, CB_GETCURSEL, 0, 0);
    if (current == CB_ERR)
        return; // the last provider inspected is inspected again
    // CB_GETLBTEXT takes no capacity; the entries come from keyNameBuffer and
    // always fit, but an entry that didn't would not be read.
    LRESULT length = SendMessageA(appState.providerCombo, CB_GETLBTEXTLEN, current, 0);
    if (length < 0 || length >= static_cast<LRESULT>(sizeof appState.providerName))
        return;
    SendMessageA(appState.providerCombo, CB_GETLBTEXT, current,
                 reinterpret_cast<LPARAM>(appState.providerName));
}

void RefreshProvider(HWND window) {
    ClearBytes(appState.containerName, sizeof appState.containerName);
    ReadCurrentProviderName();
    SendMessageA(appState.algorithmList, LB_RESETCONTENT, 0, 0);
    SendMessageA(appState.containerCombo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SendMessageA(appState.containerCombo, CB_RESETCONTENT, 0, 0);

    DWORD type = 0;
    if (lstrlenA(appState.providerName) <= MaxProviderNameInKeyPath) {
        lstrcpyA(appState.keyPath, ProviderKeyPath);
        lstrcatA(appState.keyPath, "\\");
        lstrcatA(appState.keyPath, appState.providerName);
        type = LookUpProviderType(appState.keyPath);
    }

    HCRYPTPROV providerHandle = 0;
    if (!CryptAcquireContextA(&providerHandle, nullptr, appState.providerName, type,
                              CRYPT_VERIFYCONTEXT)) {
        MessageBoxA(window, OpenFailedText, WindowTitle, MB_ICONINFORMATION);
        return;
    }
    EnumerateContainers(providerHandle);
    EnumerateAlgorithms(providerHandle);
    CryptReleaseContext(providerHandle, 0);
}
