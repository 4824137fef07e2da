#pragma once
// Control ids of the sample product's main window.
#define IDC_NUVRA_STATUS       1001
#define IDC_NUVRA_CHECK_UPDATE 1002
