// Stands in for LoadLibraryW, GetProcAddress and FreeLibrary: QLibrary, with the hints that bind a library's imports at load and keep its symbols local.
#include "modulelibrary.h"

#include "valuelist.h"

#include <QFile>
#include <QWidget>
#include <dlfcn.h>

namespace {

// A module library carries its own copy of Qt's type record for each type
// that its published members name, and Qt's registry keeps for good the
// first copy registered under a type's name: a module's copy would be
// unmapped with the module. The types of this library and of Qt that modules
// name are registered from here as this library loads, before any module
// can be; the module framework does the same for its own.
[[maybe_unused]] const bool GSharedTypes = [] {
    qRegisterMetaType<TValueList *>();
    qRegisterMetaType<QWidget *>();
    return true;
}();

} // namespace

TModuleLibrary::TModuleLibrary()
{
    // RTLD_NOW | RTLD_LOCAL: a library missing one of its imports fails at
    // load, quietly, and not in the middle of a run; two modules' symbols
    // never meet.
    FLibrary.setLoadHints(QLibrary::ResolveAllSymbolsHint);
}

bool TModuleLibrary::Load(const QString &APath)
{
    Free();
    FLibrary.setFileName(APath);
    FLoaded = FLibrary.load();
    return FLoaded;
}

void TModuleLibrary::Free()
{
    if (FLoaded)
        FLibrary.unload();
    FLoaded = false;
}

bool TModuleLibrary::IsResident(const QString &APath)
{
    // QLibrary has no way to ask without loading.
    void *handle = dlopen(QFile::encodeName(APath).constData(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return false;
    dlclose(handle);
    return true;
}

void TModuleLibrary::Pin(const void *AAddress)
{
    // QLibrary finds no library by an address: the platform names it.
    Dl_info info;
    if (!dladdr(AAddress, &info) || !info.dli_fname)
        return;
    QLibrary library(QFile::decodeName(info.dli_fname));
    library.setLoadHints(QLibrary::PreventUnloadHint);
    library.load();
}
