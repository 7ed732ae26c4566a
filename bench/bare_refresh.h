// The baseline of the refresh and start-up benchmarks: the platform calls that
// one refresh of Keyscry makes, in the same order, with the same arguments and
// against the same controls, written as one straight function with its own
// buffers. Keyscry against it is Keyscry's own share. So it makes the calls
// itself rather than through Keyscry's functions or the tests' support; only
// constants and the type-name lookup come from Keyscry. The refresh tests
// check that a provider receives the same calls from both.
#pragma once

#include <windows.h>

struct BareRefreshControls {
    HWND providerBox;
    HWND typeField;
    HWND containerBox;
    HWND list;
};

// The sections of a refresh, in the order they run.
enum BareRefreshSection {
    SectionBoxes,      // the provider box read, the list and container box emptied
    SectionTypeLookup, // the key path, the registry calls and SetWindowTextA
    SectionAcquire,    // CryptAcquireContextA
    SectionContainers, // size query, data call and CB_ADDSTRING per container
    SectionAlgorithms, // size query, data call, wsprintfA and LB_INSERTSTRING per row
    SectionRelease,    // CryptReleaseContext
    BareRefreshSections
};
extern const char* const BareRefreshSectionNames[BareRefreshSections];

// One refresh of the provider current in the provider box. `length` is the
// one length word of every provider call, which the caller keeps from
// refresh to refresh as Keyscry keeps its own (0 at first). When `sections`
// is given, the performance counter is read after each section and the
// milliseconds each took are added to it; without it nothing is read. False
// when the provider did not open.
bool BareRefresh(const BareRefreshControls& controls, DWORD& length, double* sections = nullptr);
