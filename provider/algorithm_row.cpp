// One algorithm record as one fixed-column row. The columns line up with the
// header label above the list when both use the fixed-pitch font.
#include "provider/provider.h"

#include "app/app_state.h"

void FormatAlgorithmRow() {
    PROV_ENUMALGS_EX& record = appState.algorithmRecord;
    record.szLongName[30] = 0;                   // descriptions are cut to 30 characters
    record.szName[sizeof record.szName - 1] = 0; // a provider may leave out the NUL
    wsprintfA(appState.rowText, "%-15s   %03Xh   %-30s         %5d  %5d  %5d", record.szName,
              record.dwProtocols, record.szLongName, record.dwMinLen, record.dwMaxLen,
              record.dwDefaultLen);
}
