#pragma once

#include "modulebase.h"

#include <QApplication>

// The export of a module library: CreateModule, with C linkage, makes the
// library's window. The host's application object is the one of the whole
// process, so nothing needs handing over; the loader argument is not read.
// Also the library's own core variable, which its windows' SetCore sets; it
// goes with the library when the library is unloaded.
#define KB_MODULE_ENTRY(WindowClass)                                                      \
    ICore *GCore = nullptr;                                                               \
    extern "C" Q_DECL_EXPORT TModuleInterface *CreateModule(QApplication *AApplication,   \
                                                            QObject * /*AModuleLoader*/) \
    {                                                                                     \
        return new WindowClass(AApplication);                                             \
    }
