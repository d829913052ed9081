#include "application.h"

#include "common/dialogs.h"
#include "common/errorguard.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

KelvoraApplication::KelvoraApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
    installQtTranslation(this);
}

bool KelvoraApplication::installQtTranslation(QCoreApplication* app)
{
    // Whatever the machine's language: a "Yes" beside "确信要删除该记录?" would read as a slip.
    auto* translator = new QTranslator(app);
    if (!translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

bool KelvoraApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        if (m_dialogs) {
            showException(*m_dialogs, std::current_exception());
        } else {
            ConsoleDialogs console;
            showException(console, std::current_exception());
        }
    }
    return false;
}
