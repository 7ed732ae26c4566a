// The one process-wide record. It lives in .bss, so every field is zero when
// the process starts; nothing in it is ever allocated or freed.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include "app/identifiers.h"

struct AppState {
    HINSTANCE instance;
    LPSTR commandLine; // recorded, never used: Keyscry takes no arguments
    HWND mainWindow;   // null until CreateWindowExA has returned

    HWND providerCombo;
    HWND containerCombo;
    HWND typeField;
    HWND algorithmList;
    HWND headerLabel;
    HWND refreshButton;
    HWND exitButton;

    HFONT uiFont;
    HFONT labelFont;
    HFONT fixedFont;

    HKEY registryKey;
    DWORD enumIndex;
    LONG enumResult;

    DWORD dataLength; // the one length word of every CryptGetProvParam call

    char keyNameBuffer[255];
    char providerName[255];
    char keyPath[255];
    char containerName[100];
    char rowText[550];
    PROV_ENUMALGS_EX algorithmRecord;

    MSGBOXPARAMSA aboutParams;
};

extern AppState appState;

extern const char WindowClassName[];
extern const char WindowTitle[];

// Zeroes a buffer without relying on a C runtime being present.
void ClearBytes(void* buffer, DWORD size);
