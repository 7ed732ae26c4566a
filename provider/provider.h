// Provider inspection: the catalogue of registered providers, their type
// names, and the containers and algorithm rows of the current one.
#pragma once

#include <windows.h>
#include <wincrypt.h>

extern const char ProviderKeyPath[];

// A provider name longer than this doesn't fit in keyPath behind
// ProviderKeyPath and a backslash.
constexpr int MaxProviderNameInKeyPath = 204;

// The catalogue enumeration gives up after this many indexes in a row that
// fail with something other than ERROR_NO_MORE_ITEMS or ERROR_MORE_DATA (a
// catalogue key that vanished fails at every index). A name too long for the
// buffer doesn't count: its index exists, and the names after it must show.
constexpr DWORD MaxFailedIndexesInARow = 16;

// An enumeration of containers or algorithms stops after this many entries,
// so that a provider that never says "no more" can't hang the window.
constexpr DWORD MaxEnumeratedEntries = 65536;

const char* ProviderTypeName(DWORD type);
void FillProviderList();
DWORD LookUpProviderType(const char* keyPath);

void RefreshProvider(HWND window);
void EnumerateContainers(HCRYPTPROV providerHandle);
void EnumerateAlgorithms(HCRYPTPROV providerHandle);
void FormatAlgorithmRow();
