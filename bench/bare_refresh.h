// The baseline of the refresh and start-up benchmarks: the platform calls that
// one refresh of Keyscry makes, in the same order, with the same arguments and
// against the same controls, written as one straight function with its own
// buffers, so that Keyscry against it is Keyscry's own share. Only constants
// and the type-name lookup come from Keyscry. The refresh tests check that a
// provider receives the same calls from both.
#pragma once

#include <windows.h>

struct BareRefreshControls {
    HWND providerBox;
    HWND typeField;
    HWND containerBox;
    HWND list;
};

// One refresh of the provider current in the provider box. `length` is the
// one length word of every provider call, which the caller keeps from
// refresh to refresh as Keyscry keeps its own (0 at first). False when the
// provider did not open.
bool BareRefresh(const BareRefreshControls& controls, DWORD& length);
