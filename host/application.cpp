#include "application.h"

#include "appexception.h"
#include "posixcalls.h"

TApplication::TApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Kitebench"));
}

bool TApplication::notify(QObject *AReceiver, QEvent *AEvent)
{
    try {
        return QApplication::notify(AReceiver, AEvent);
    } catch (const std::exception &E) {
        HandleApplicationException(E);
    } catch (...) {
        HandleApplicationException(std::runtime_error("Unknown exception."));
    }
    return false;
}

void PrepareWebEngineEnvironment()
{
    if (RunsAsSuperuser() && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}
