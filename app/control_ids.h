/* Resource and control ids of the converter dialog, shared by the resource
   script and the code. Plain #defines so that windres can read it too. */
#ifndef VELTRANE_APP_CONTROL_IDS_H
#define VELTRANE_APP_CONTROL_IDS_H

#define IDD_CONVERTER 101

#define IDC_CONVERT 1 /* IDOK: the default push button */
#define IDC_INPUT_TEXT 1000
#define IDC_INPUT_BASE 1002
#define IDC_OUTPUT_TEXT 1003
#define IDC_OUTPUT_BASE 1005
#define IDC_STANDARD 1009
#define IDC_SCIENTIFIC 1010

#endif
