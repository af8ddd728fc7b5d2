// Opens one module window as a home-page link does, for the placement test
// on a real desktop: the module named on the command line, from the Modules/
// folder beside this program, which must be the program folder's copy. It
// ends when the window is closed, and the window then writes its placement.
#include "application.h"
#include "module.h"

int main(int argc, char **argv)
{
    TModule::Obj();
    TApplication app(argc, argv);
    if (argc < 2 || !TModule::Obj()->LoadModule(nullptr, QString::fromLocal8Bit(argv[1])))
        return 2;
    const int result = app.exec();
    // The closed window frees itself, then its library goes.
    TModule::Obj()->Finalize();
    return result;
}
