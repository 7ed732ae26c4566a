#include "app/app_state.h"

AppState appState;

const char WindowClassName[] = "Keyscry_Class";
const char WindowTitle[] = "Keyscry - CryptoAPI Service Providers";

void ClearBytes(void* buffer, DWORD size) {
    // volatile keeps the compiler from turning the loop into a memset call,
    // which the shipped executable has no runtime to provide.
    volatile char* bytes = static_cast<volatile char*>(buffer);
    for (DWORD i = 0; i < size; ++i)
        bytes[i] = 0;
}
