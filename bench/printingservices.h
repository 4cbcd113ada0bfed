#pragma once
// CPrintingServices: the program's services for a benchmark that runs the
// main window offscreen, where a message box would wait for a click that
// never comes: each message is printed and answered with OK. Install it with
// SetServices for the benchmark's lifetime; user-interface thread.

#include "platform/qtservices.h"

class CPrintingServices : public CQtServices {
public:
    int MessageBox(const QString& text, UINT type) override;
};
