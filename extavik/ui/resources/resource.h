/* Resource and control ids of EXTAVIK, shared by the .rc files, the code and the tests. */
#ifndef EXTAVIK_RESOURCE_H
#define EXTAVIK_RESOURCE_H

/* Menu */
#define IDM_GPIB_IN            2950
#define IDM_GPIB_OUT           2951
#define IDM_SETUP              4990

/* Strings */
#define IDS_GPIB_IN            2950
#define IDS_GPIB_OUT           2951
#define IDS_HELP_FILE          25003
#define IDS_ACTION_OUT         25004
#define IDS_ACTION_IN          25005
#define IDS_LONG_IN            25007
#define IDS_LONG_OUT           25008

/* Push buttons */
#define IDC_OK                 1
#define IDC_CANCEL             2
#define IDC_RECV_SETTINGS      5
#define IDC_SPOLL_SETTINGS     6
#define IDC_PPOLL_SETTINGS     7
#define IDC_HELP_BUTTON        9

/* Main settings dialogs */
#define IDC_IN_COMMAND         1012
#define IDC_REQ_NORMAL         1016
#define IDC_REQ_SPOLL          1017
#define IDC_REQ_PPOLL          1018
#define IDC_OUT_ALWAYS         1030
#define IDC_OUT_AT_START       1031
#define IDC_OUT_HAS_INPUTS     1047
#define IDC_OUT_COMMAND        1049
#define IDC_OUT_AT_END         1050
#define IDC_CH_REMOVE          23000
#define IDC_CH_ADD             23001
#define IDC_CH_FIRST           23002
#define IDC_CH_LAST            23017
#define IDC_MODULE_NAME        23018
#define IDC_MODULE_COMMENT     23019
#define IDC_CURRENT_CHANNEL    23020
#define IDC_CHANNEL_NAME       23021
#define IDC_TIMEOUT            23025
#define IDC_PRIMARY            23027
#define IDC_SECONDARY          23028

/* RECV */
#define IDC_RECV_HEADER        23022
#define IDC_RECV_BLOCKLEN      23024
#define IDC_RECV_INV_HEAD      23026
#define IDC_RECV_INV_TAIL      23027
#define IDC_RECV_MASK          23028
#define IDC_RECV_BUFFER        1018
#define IDC_RECV_INTERVAL      1021
#define IDC_RECV_STOP_TIMEOUT  1043
#define IDC_TERM_CRLF          1032
#define IDC_TERM_CR            1033
#define IDC_TERM_LF            1034
#define IDC_TERM_EOI           1035
#define IDC_DATA_ASCII         1036
#define IDC_DATA_INT16         1037
#define IDC_DATA_UINT16        1038
#define IDC_DATA_INT32         1039
#define IDC_DATA_UINT32        1040
#define IDC_DATA_FLOAT32       1041
#define IDC_DATA_FLOAT64       1042

/* SPOLL */
#define IDC_SPOLL_READY        1022
#define IDC_SPOLL_ERROR        1023
#define IDC_SPOLL_STOP         1029
#define IDC_SPOLL_TEXT         1044

/* PPOLL */
#define IDC_PPOLL_LINE         1024
#define IDC_PPOLL_SENSE1       1022
#define IDC_PPOLL_SENSE0       1023

/* SELECT */
#define IDC_MY_ADDRESS         1048

/* Channel-bar control messages and dialog messages */
#define CTL_SETSTATE           254
#define CTL_LBUTTONDOWN        1025
#define CTL_LBUTTONUP          1026
#define CTL_LBUTTONDBLCLK      1027
#define CTL_RBUTTONDBLCLK      1028
#define CTL_DESELECT           1029
#define DLG_COPYNAMETOALL      1031
#define DLG_COPYCHANNELTOALL   1032

#endif
