// String ids of QVXUI's own string table (qvxui.rc). Shared by the resource
// script and the code that loads the strings.
#pragma once

#define IDS_LANGUAGE_ENGLISH 1060

// Messages of the print query (DevQueryPrintEx).
#define IDS_QUERY_RESOLUTION 1043
#define IDS_QUERY_BAD_SETTINGS 1047
#define IDS_QUERY_MANUAL_FORM 1048
#define IDS_QUERY_PAPER_UNKNOWN 1049
#define IDS_QUERY_CONFLICT 1054
#define IDS_QUERY_NO_DESCRIPTION 1055
#define IDS_QUERY_NO_MEMORY 1056
#define IDS_QUERY_FORM_NOT_LOADED 1057
#define IDS_QUERY_CUSTOM_SIZE 1058

#define IDS_ABOUT 1076
#define IDS_VERSION 1077
