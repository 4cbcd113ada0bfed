#pragma once
// The program's settings: every key with its section, type and default, read
// at start-up and written back at exit, in the order of the settings table.
//
//  #  section   key                     read as   default
//  1  PRESSURE  BACKGROUND_PRESSURE     unsigned  16770250 (0x00FFE4CA)
//  2  PRESSURE  TEXT_PRESSURE           unsigned  8404992 (0x00804000)
//  3  PRESSURE  FONT_HEIGHT_PRESSURE    int       60
//  4  PRESSURE  FONT_NAME_PRESSURE      string    "Arial" (at most 31 characters taken)
//  5  PRESSURE  FONT_ITALIC_PRESSURE    int       0 (low 8 bits taken)
//  6  PRESSURE  FONT_WEIGHT_PRESSURE    int       0
//  7  GENERAL   PORT_NR                 int       0 (0 or less: no port)
//  8  GENERAL   WINDOW_TOP              int       100
//  9  GENERAL   WINDOW_BOTTOM           int       500
// 10  GENERAL   WINDOW_LEFT             int       100
// 11  GENERAL   WINDOW_RIGHT            int       700
// 12  LOG       FILE_NAME               string    ""
// 13  LOG       FILE_NAME_BIN           string    ""
// 14  LOG       FILE_LOG                int       0
// 15  LOG       FILE_LOG_BIN            int       0
// 16  LOG       FILE_SEP_FORMAT         int       0 (1 comma, 2 semicolon, else tab)
// 17  LOG       FILE_INTERVAL           int       60 (seconds)
// 18  GENERAL   TOPMOST                 int       0
// 19  LOG       FILE_CHECK_COMMENT      int       0
// 20  LOG       FILE_CHECK_COMMENT_SN   int       0
// 21  GENERAL   SHOW_ADV                int       1
// 22  GENERAL   LANGUAGE                string    written only (between 20 and 21)
//     PORTS     COM<n>                  string    the port map's entries, after the rest
//     MQTT      HOST, PORT, USER, PASSWORD, TLS, CA_FILE, TOPIC, DISCOVERY,
//               DISCOVERY_PREFIX, SPOOL_MB  (MqttSettings), after the port map;
//               written only when set or already in the file. A file holding
//               a password is written readable by its owner only.
//     STATION   ELEVATION, CORRECTION, REDUCTION, TEMPERATURE, TENDENCY,
//               ALERT_FALL, ALERT_RISE, ALERT_LOW, ALERT_HIGH, ALERT_HYSTERESIS,
//               ALERT_SILENCE (StationSettings), after MQTT; written only when
//               not default or already in the file. Numbers with a decimal
//               point whatever the locale; a value that does not read or is
//               out of its range is taken as its default (Sanitized).
//
// A store loaded from a file keeps the file's order and appends missing keys at
// the end of their section; a first run writes the sections PRESSURE, GENERAL,
// LOG in the order in which they are first written.

#include <QRect>
#include <QString>

#include <map>

#include "platform/logfont.h"
#include "platform/wintypes.h"
#include "publish/mqttsettings.h"
#include "recording/recordingsettings.h"
#include "station/stationsettings.h"

class CSettingsFile;

struct MeterSettings {
    COLORREF background = 16770250;
    COLORREF text = 8404992;
    LOGFONT font = DefaultFont();
    int portNr = 0;
    RECT windowRect{100, 100, 700, 500};
    RecordingSettings recording;         // keys 12 to 17, 19 and 20
    int topmost = 0;
    int showAdv = 1;
    QString language;                    // written only
    std::map<int, QString> ports;        // COMn = path
    MqttSettings mqtt;                   // section MQTT
    StationSettings station;             // section STATION

    static LOGFONT DefaultFont();
};

// Reads keys 1 to 21 in table order, then the port map's entries, MQTT and
// STATION. A read that
// throws ends the block; the fields read so far keep their values, the rest
// their defaults.
void ReadSettings(const CSettingsFile& store, MeterSettings& settings);

// <instance>.ini in the application's configuration folder (~/.config/KM302,
// or $XDG_CONFIG_HOME/KM302), for the application name "KM302": KM302.ini by
// default, NAME.ini for --config NAME (InstanceName, commandline.h). The
// folder is not made here.
QString SettingsFilePath(const QString& instanceName = QStringLiteral("KM302"));

// Writes every key back in table order (LANGUAGE between FILE_CHECK_COMMENT_SN
// and SHOW_ADV), then the port map's entries.
void WriteSettings(CSettingsFile& store, const MeterSettings& settings);

// Brings a saved window rectangle back onto a screen of cx × cy pixels, with a
// tolerance of 10 pixels in each direction.
RECT KeepOnScreen(RECT rect, int cx, int cy);

// The rectangle a saved window opens with, on a screen whose free area (the
// screen without its panels) is `available`: the saved width and height, at
// least 1 and at most the available width and height, so that a damaged file
// never asks for a window larger than the screen; the saved top-left corner,
// limited to ±kMaxWindowCoordinate so that no edge plus a size can overflow.
// Any RECT is taken (right − left is computed in 64 bits).
constexpr std::int32_t kMaxWindowCoordinate = 16777215;   // Qt's largest widget size
RECT FitToScreen(RECT rect, const QRect& available);
