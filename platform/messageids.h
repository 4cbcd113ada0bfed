#pragma once
// Ids of the string table's texts (res/strings.inc) that the program loads by
// name: one definition for every library that shows or writes them.

#include "platform/wintypes.h"

// Port dialog and port opening.
constexpr UINT IDS_PORT_IN_USE = 102;             // "Aktualnie używany port: COM%d"
constexpr UINT IDS_NO_PORT_IN_USE = 103;
constexpr UINT IDS_NO_PORT_CHOSEN = 104;
constexpr UINT IDS_CANNOT_OPEN_PORT = 105;        // "Nie można otworzyć portu COM%d"

// Logs: unavailable, already there, header, recording status.
constexpr UINT IDS_TEXT_LOG_UNAVAILABLE = 106;
constexpr UINT IDS_BINARY_LOG_UNAVAILABLE = 107;
constexpr UINT IDS_TEXT_LOG_EXISTS = 109;
constexpr UINT IDS_BINARY_LOG_EXISTS = 110;
constexpr UINT IDS_RECORDING_STATUS = 111;        // "Rejestracja do pliku co %02d:%02d:%02d. "
constexpr UINT IDS_DATE_AND_TIME = 122;
constexpr UINT IDS_PRESSURE_PA = 123;
constexpr UINT IDS_PRESSURE_HPA = 124;

// DDE service.
constexpr UINT IDS_DDE_FAILED = 108;
constexpr UINT IDS_PRESSURE = 118;                // display label and DDE topic
constexpr UINT IDS_ITEM_RESULT = 119;             // DDE items
constexpr UINT IDS_ITEM_MEASUREMENT = 120;
constexpr UINT IDS_ITEM_STATUS = 121;

// Status line.
constexpr UINT IDS_NO_COMMUNICATION = 125;
constexpr UINT IDS_MEASUREMENT_OK = 127;
constexpr UINT IDS_VALUE_ERROR = 128;
constexpr UINT IDS_CALIBRATION_ERROR = 129;

// Log file choosers.
constexpr UINT IDS_TEXT_FILTER = 130;
constexpr UINT IDS_TEXT_CHOOSER_TITLE = 131;
constexpr UINT IDS_BINARY_FILTER = 132;
constexpr UINT IDS_BINARY_CHOOSER_TITLE = 133;

// Charting program and language.
constexpr UINT IDS_PLOTIX_MISSING = 114;
constexpr UINT IDS_LANGUAGE = 135;                // "PL": selects the help context
