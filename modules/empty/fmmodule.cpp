#include "fmmodule.h"

#include "moduleentry.h"

TfmModule *fmModule = nullptr;

TfmModule::TfmModule(QObject *AOwner)
    : TModuleBase(AOwner)
{
    InitForm(QStringLiteral("Empty"));
    fmModule = this;
}

TfmModule::~TfmModule()
{
    if (fmModule == this)
        fmModule = nullptr;
}

void TfmModule::AddObjects()
{
    ScriptHost().AddGlobalFunctions(&TJSFunctions::staticMetaObject);
    ScriptAddObject(this, QStringLiteral("Screen"));
}

TSprite *TJSFunctions::createSprite()
{
    if (!fmModule)
        return nullptr;
    auto *sprite = new TSprite(fmModule);
    sprite->SetParent(fmModule);
    ScriptHost().ObjectCreated(sprite);
    return sprite;
}

KB_MODULE_ENTRY(TfmModule)
