#pragma once
// The recording interval: whole seconds from 1 to 23:59:59. The settings may
// hold anything; the dialog, the timer and the command line all keep to this.

#include <algorithm>

constexpr int kMinRecordingInterval = 1;
constexpr int kMaxRecordingInterval = 24 * 3600 - 1;

constexpr int ClampRecordingInterval(int seconds)
{
    return std::clamp(seconds, kMinRecordingInterval, kMaxRecordingInterval);
}
