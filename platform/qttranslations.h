#pragma once
// Qt's own texts (the buttons and labels of the colour and font choosers, the
// file chooser, standard buttons) in the language of the interface.

#include <QString>

// Installs Qt's translations (qtbase_<language>.qm from Qt's translations
// folder) for the language the string table is written in (its marker, string
// 135, e.g. "PL"). Needs the application object; the translator lives as long
// as it. false when the language is English or the file is missing (Qt then
// speaks English). Call once; user-interface thread.
bool InstallQtTranslations();

// The same for a language given by its code ("pl"), for a program whose
// interface has one language.
bool InstallQtTranslations(const QString& language);
