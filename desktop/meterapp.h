#pragma once
// CMeterApp: the application object. InitInstance is the whole life of the
// program: it loads the settings, runs the main window modally until the user
// (or a stop signal) closes it, then writes the settings back. Stop signals
// are caught before the settings are read and until they are saved; the
// settings store is made before the window and destroyed after it, saving
// itself when anything changed.
//
// The settings file is KM302.ini in the application's configuration folder
// (~/.config/KM302, or $XDG_CONFIG_HOME/KM302), or NAME.ini there for
// --config NAME.

#include <QString>

#include "platform/wintypes.h"
#include "settings/commandline.h"

class CMainDialog;

class CMeterApp {
public:
    explicit CMeterApp(CommandLine line = {});
    virtual ~CMeterApp();

    // Runs the program; returns FALSE in every case, as the framework expects.
    virtual BOOL InitInstance();

    // The settings file, its folder made.
    QString SettingsPath() const;
    // --config NAME, else "KM302".
    QString InstanceName() const { return ::InstanceName(m_line); }

private:
    static void ScheduleScreenshot(CMainDialog& window);

    // "pl" or "en" once chosen (the window's language command); written to
    // the settings at exit.
    QString m_language;
    CommandLine m_line;
};
