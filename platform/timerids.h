#pragma once
// Window timers keep fixed ids; a timer's id says what its tick does.

#include "platform/wintypes.h"

constexpr UINT kRecordingTimerId = 1034;   // recording tick: text record, then binary record
constexpr UINT kNoCommTimerId = 1035;      // 5 s without an accepted frame
constexpr UINT kOpenLogsTimerId = 1036;    // one tick, 10 s after start-up: open the logs
constexpr UINT kBlinkTimerId = 1052;       // pressure display blinking, 500 ms
constexpr UINT kPortRetryTimerId = 1069;   // port selection retried until the window shows
constexpr UINT kPromotionTimerId = 1070;   // promotion dialog 100 ms after start-up

constexpr UINT kNoCommTimeoutMs = 5000;
