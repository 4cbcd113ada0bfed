#pragma once
// CPlotApplication: what km302-plot's application object needs before its
// window opens — its names, the program's icon (every window of it shows
// that, not Qt's), and Qt's own texts (file choosers, standard buttons) in
// Polish like the rest of the viewer.
//
// User-interface thread; after the QApplication is made.

class CPlotApplication {
public:
    static void Prepare();
};
