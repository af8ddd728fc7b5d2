#pragma once

#include "modulebase.h"

#include <QApplication>

// The export of a module library: CreateModule, with C linkage, makes the
// library's window. The host's application object is the one of the whole
// process, so nothing needs handing over; the loader argument is not read.
// When the library is unloaded it drops its reference to the core.
#define KB_MODULE_ENTRY(WindowClass)                                                      \
    extern "C" Q_DECL_EXPORT TModuleInterface *CreateModule(QApplication *AApplication,   \
                                                            QObject * /*AModuleLoader*/) \
    {                                                                                     \
        return new WindowClass(AApplication);                                             \
    }                                                                                     \
    namespace {                                                                           \
    struct TDropCoreAtUnload                                                              \
    {                                                                                     \
        ~TDropCoreAtUnload() { GCore = nullptr; }                                         \
    } GDropCoreAtUnload;                                                                  \
    }
