// Control and resource identifiers. Plain #defines, because the resource
// compiler reads this file too.
#pragma once

#define IDC_REFRESH 100
#define IDC_EXIT 101
#define IDC_ABOUT 102
#define IDC_PROVIDER 150
#define IDC_CONTAINER 151
#define IDC_ALGORITHMS 600

#define IDI_APP 500
