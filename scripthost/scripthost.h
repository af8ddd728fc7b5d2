#pragma once

#include "scripthost_export.h"

class QApplication;
class QImage;
class QObject;
class QWidget;
struct QMetaObject;
struct ICore;

// The script engine that every module window drives. One engine belongs to
// one module window and dies with it. The operations without a window
// argument act on the engine of the window that last called
// CreateScriptHost, and do nothing when that window is gone.
//
// All operations are called on the user-interface thread. Texts are
// zero-terminated UTF-16; a null text reads as empty. The learner's program
// runs on a worker thread of the engine; everything it does to the module's
// objects is carried out on the user-interface thread.
extern "C" {

// Binds a new engine to AWindow, which owns it from then on. AApplication is
// the process's application object; ACore is where errors and messages go
// (through its GetView) and may be null. Returns nothing; nothing ends the
// engine but the window's end.
SCRIPTHOST_EXPORT void CreateScriptHost(QApplication *AApplication, QWidget *AWindow, ICore *ACore);

// Begins the set-up of a run: ends any run still going (its shutdown()
// included), then starts from an empty script environment. The adds follow.
SCRIPTHOST_EXPORT void PrepareScriptHost();

// Every Q_INVOKABLE method of AClass becomes a global script function of its
// name. The engine makes the instance (AClass needs a Q_INVOKABLE
// constructor callable without arguments) and calls the methods on it on
// the user-interface thread.
SCRIPTHOST_EXPORT void AddGlobalFunctions(const QMetaObject *AClass);

// Makes AObject reachable from the script under AName, with its Q_PROPERTY
// and Q_INVOKABLE members. The engine never frees it; once freed it reads as
// undefined and ignores writes and calls.
SCRIPTHOST_EXPORT void AddObject(QObject *AObject, const char16_t *AName);

// Takes up an object made for the script during a run (the sandbox's
// sprites), so that the script can use it when it is handed back.
SCRIPTHOST_EXPORT void ObjectCreated(QObject *AObject);

// Makes one of the engine's controls: "TLED" (parameters "Color=<name or
// $00BBGGRR>", APicture unused) or "TDial" (parameters
// "MinAngle=<tenths>; MaxAngle=<tenths>", APicture the dial face or null).
// The control is owned by AOwner (freed with it at the latest) and has no
// parent yet. An unknown class name gives null. Needs no engine.
SCRIPTHOST_EXPORT QWidget *CreateObject(QObject *AOwner, const char16_t *AClassName,
                                        const char16_t *AParams, const QImage *APicture);

// Starts the prepared run on ACode and returns at once.
SCRIPTHOST_EXPORT void StartScriptHost(const char16_t *ACode);

// Ends the run: the program stops within milliseconds, then its shutdown()
// runs under a time limit. Does nothing when no run is going.
SCRIPTHOST_EXPORT void StopScriptHost();
}
