#include "application.h"
#include "mainform.h"
#include "module.h"

#if defined(__SANITIZE_ADDRESS__)
// The browser engine's bundled code frees some of its own objects with a
// size other than the one they were made with; not ours to fix.
extern "C" __attribute__((visibility("default"), used)) const char *__asan_default_options()
{
    return "new_delete_type_mismatch=0";
}
#endif

int main(int argc, char **argv)
{
    TModule::Obj();
    PrepareWebEngineEnvironment();
    TApplication app(argc, argv);
    auto *mainForm = new TfmMain;
    mainForm->show();
    const int result = app.exec();
    // The main window goes with the application and writes its placement.
    delete mainForm;
    return result;
}
