// The registered providers: one subkey per provider below ProviderKeyPath,
// named after the provider, with its type number in the value "Type".
#include "provider/provider.h"

#include "app/app_state.h"

const char ProviderKeyPath[] = "SOFTWARE\\Microsoft\\Cryptography\\Defaults\\Provider";

struct ProviderTypeNameEntry {
    DWORD type;
    const char* name;
};

static const ProviderTypeNameEntry ProviderTypeNames[] = {
    {1, "PROV_RSA_FULL"},      {2, "PROV_RSA_SIG"},        {3, "PROV_DSS"},
    {4, "PROV_FORTEZZA"},      {5, "PROV_MS_EXCHANGE"},    {6, "PROV_SSL"},
    {12, "PROV_RSA_SCHANNEL"}, {13, "PROV_DSS_DH"},        {14, "PROV_EC_ECDSA_SIG"},
    {15, "PROV_EC_ECNRA_SIG"}, {16, "PROV_EC_ECDSA_FULL"}, {17, "PROV_EC_ECNRA_FULL"},
    {18, "PROV_DH_SCHANNEL"},  {20, "PROV_SPYRUS_LYNKS"},  {24, "PROV_RSA_AES"},
};

const char* ProviderTypeName(DWORD type) {
    for (const ProviderTypeNameEntry& entry : ProviderTypeNames)
        if (entry.type == type)
            return entry.name;
    return "PROV_UNKNOW";
}

void FillProviderList() {
    appState.enumIndex = 0;
    appState.enumResult = 1;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, ProviderKeyPath, &appState.registryKey) == ERROR_SUCCESS) {
        DWORD failedInARow = 0;
        while (appState.enumResult != ERROR_NO_MORE_ITEMS) {
            ClearBytes(appState.keyNameBuffer, sizeof appState.keyNameBuffer);
            appState.enumResult =
                RegEnumKeyA(appState.registryKey, appState.enumIndex, appState.keyNameBuffer, 254);
            ++appState.enumIndex;
            if (appState.enumResult == ERROR_NO_MORE_ITEMS)
                break;
            // An index that fails still gets its entry: whatever the buffer
            // holds, the empty string when nothing was written.
            SendMessageA(appState.providerCombo, CB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(appState.keyNameBuffer));
            // A name too long for the buffer still proves that its index
            // exists; only other failures can repeat without end.
            bool indexExists =
                appState.enumResult == ERROR_SUCCESS || appState.enumResult == ERROR_MORE_DATA;
            failedInARow = indexExists ? 0 : failedInARow + 1;
            if (failedInARow == MaxFailedIndexesInARow)
                break;
        }
        RegCloseKey(appState.registryKey);
    }
    // The box sorts its entries, so this is the name that sorts first.
    SendMessageA(appState.providerCombo, CB_SETCURSEL, 0, 0);
}

DWORD LookUpProviderType(const char* keyPath) {
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, keyPath, &appState.registryKey) != ERROR_SUCCESS)
        return 0;
    DWORD valueType = 0;
    DWORD size = 0;
    RegQueryValueExA(appState.registryKey, "Type", nullptr, &valueType, nullptr, &size);
    // The registry type isn't checked: up to four bytes are taken as a
    // little-endian number, a shorter value filling the low-order bytes.
    DWORD type = 0;
    if (size > sizeof type)
        size = sizeof type;
    if (RegQueryValueExA(appState.registryKey, "Type", nullptr, &valueType,
                         reinterpret_cast<BYTE*>(&type), &size) == ERROR_SUCCESS)
        SetWindowTextA(appState.typeField, ProviderTypeName(type));
    else
        type = 0; // a value longer than four bytes may have left part of itself
    RegCloseKey(appState.registryKey);
    return type;
}
