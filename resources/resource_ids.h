/* Numbers of the resources the program carries. Read by the resource compiler
   and by the C++ code, so plain macros. */
#pragma once

#define IDS_SHOWN_VERSION 101       /* version in the success message */
#define IDS_DATA_FILE_NAME 102      /* the data file in the installation folder */
#define IDS_DESCRIPTION 103         /* the line shown in the window */
#define IDS_TARGET_WINDOW_TITLE 104 /* title of the target application's window */
#define IDS_DATA_VERSION 105        /* version compared with and written to the registry */

#define IDB_PRODUCT 101 /* the product picture */
#define IDR_PAYLOAD 101 /* the new data file, of type "CUSTOM" */
#define IDI_PROGRAM 1   /* the program icon group */
