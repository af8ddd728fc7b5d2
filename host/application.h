#pragma once

#include "kbhost_export.h"

#include <QApplication>

// The application object that the host and every module library share. An
// exception that escapes an event handler goes to the application's
// exception event instead of ending the process.
class KBHOST_EXPORT TApplication : public QApplication
{
    Q_OBJECT

public:
    TApplication(int &argc, char **argv);

    bool notify(QObject *AReceiver, QEvent *AEvent) override;
};

// Lets the embedded browser run when the program runs as root, which its
// sandbox refuses; must run before the application object exists. An
// ordinary user keeps the sandbox.
KBHOST_EXPORT void PrepareWebEngineEnvironment();
