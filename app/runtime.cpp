// The two routines the compiler may call on its own for structure copies and
// zeroing. The shipped executable links no C runtime, so they live here and
// go into the executable only; tests get them from their own runtime.
#include <stddef.h>

extern "C" void* memset(void* destination, int value, size_t count) {
    void* start = destination;
    asm volatile("rep stosb" : "+D"(destination), "+c"(count) : "a"(value) : "memory");
    return start;
}

extern "C" void* memcpy(void* destination, const void* source, size_t count) {
    void* start = destination;
    asm volatile("rep movsb" : "+D"(destination), "+S"(source), "+c"(count) : : "memory");
    return start;
}
