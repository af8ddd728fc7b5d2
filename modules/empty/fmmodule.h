#pragma once

#include "modulebase.h"
#include "sprite.h"

// The sandbox: an empty white window on which the user's program makes
// sprites with createSprite().
class TfmModule : public TModuleBase
{
    Q_OBJECT

public:
    explicit TfmModule(QObject *AOwner = nullptr);
    ~TfmModule() override;

    void AddObjects() override;
};

// The sandbox's window, read by createSprite; nothing while none exists.
extern TfmModule *fmModule;

// The global script functions of the sandbox.
class TJSFunctions : public QObject
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit TJSFunctions(QObject *AParent = nullptr) : QObject(AParent) {}

    // One more sprite on the window: hidden, at 0,0, with no image list. It
    // lives until the window is freed. Nothing when the window is gone.
    Q_INVOKABLE TSprite *createSprite();
};
