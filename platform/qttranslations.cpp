#include "platform/qttranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "platform/messageids.h"
#include "platform/stringtable.h"

bool InstallQtTranslations()
{
    return InstallQtTranslations(LoadString(IDS_LANGUAGE));
}

bool InstallQtTranslations(const QString& code)
{
    const QString language = code.toLower();
    if (language.isEmpty() || language == QLatin1String("en"))
        return false;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_") + language,
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
