// The engine library's entry points: each reaches the engine of the window
// that last called CreateScriptHost.
#include "scripthost.h"

#include "controls.h"
#include "keyboard.h"
#include "runhost.h"

#include <QApplication>
#include <QImage>
#include <QPointer>
#include <QWidget>

namespace {

QString FromUtf16(const char16_t *AText)
{
    return AText ? QString::fromUtf16(AText) : QString();
}

QPointer<TScriptHost> GCurrent;

} // namespace

extern "C" {

void CreateScriptHost(QApplication *, QWidget *AWindow, ICore *ACore)
{
    if (!AWindow)
        return;
    TKeyboardState::Install(AWindow);
    GCurrent = new TScriptHost(AWindow, ACore);
}

void PrepareScriptHost()
{
    if (GCurrent)
        GCurrent->Prepare();
}

void AddGlobalFunctions(const QMetaObject *AClass)
{
    if (GCurrent)
        GCurrent->AddGlobalFunctions(AClass);
}

void AddObject(QObject *AObject, const char16_t *AName)
{
    if (GCurrent)
        GCurrent->AddObject(AObject, FromUtf16(AName));
}

void ObjectCreated(QObject *AObject)
{
    if (GCurrent && AObject)
        GCurrent->ObjectCreated(AObject);
}

QWidget *CreateObject(QObject *AOwner, const char16_t *AClassName, const char16_t *AParams, const QImage *APicture)
{
    return CreateControl(AOwner, FromUtf16(AClassName), FromUtf16(AParams), APicture);
}

void StartScriptHost(const char16_t *ACode)
{
    if (GCurrent)
        GCurrent->Start(FromUtf16(ACode));
}

void StopScriptHost()
{
    if (GCurrent)
        GCurrent->Stop();
}
}
