#pragma once
// How DDE names compare: without regard to case. D-Bus strings are UTF-8, so
// the comparison is Unicode-aware ("CIŚNIENIE#1234" is "Ciśnienie#1234") and a
// name written decomposed (s + combining acute) is the same name as the
// precomposed one. Pure functions; any thread.

#include <QString>

// 0 when the two names are the same name, as DdeCmpStringHandles answers;
// otherwise negative or positive. Two null (empty) handles compare equal.
int DdeCmpStringHandles(const QString& a, const QString& b);

// The form in which equal names are identical strings, for keys of maps.
QString DdeNameKey(const QString& name);
