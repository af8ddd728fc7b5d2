#include "application.h"
#include "mainform.h"

int main(int argc, char **argv)
{
    // The module loader already exists: the host library makes it as it
    // loads, before the application object.
    PrepareWebEngineEnvironment();
    TApplication app(argc, argv);
    auto *mainForm = new TfmMain;
    mainForm->show();
    const int result = app.exec();
    // The main window goes with the application and writes its placement.
    delete mainForm;
    return result;
}
