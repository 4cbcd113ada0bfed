#pragma once
// The program's string table (res/strings.inc): the user-visible texts by id.
// Any thread.

#include <QString>

#include "platform/wintypes.h"

// The text of string `id`; empty for an id the table does not hold.
QString LoadString(UINT id);
