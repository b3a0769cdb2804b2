#include "ui/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace Vacuola {

bool loadQtTranslations()
{
    // "qt" is the catalogue that gathers every Qt module's translations.
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QLocale::system(), QStringLiteral("qt"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

} // namespace Vacuola
