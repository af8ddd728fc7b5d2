#include "application.h"
#include "mainform.h"
#include "savefile.h"

int main(int argc, char **argv)
{
    // A save past the file-size limit fails and says so; the learner's
    // unsaved text stays in the editor.
    IgnoreFileSizeSignal();
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
