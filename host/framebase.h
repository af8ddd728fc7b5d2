#pragma once

#include "interfacebase.h"

#include <QUuid>

// The interface part shared by every frame of the main window: answers
// IFrameBase and IInterface; counting does nothing; FrameProc does nothing.
#define KB_FRAME_BASE                                                                              \
public:                                                                                            \
    bool QueryInterface(const QUuid &IID, void **Obj) override                                     \
    {                                                                                              \
        if (!Obj)                                                                                  \
            return false;                                                                          \
        if (IID == IFrameBase::IID || IID == IInterface::IID) {                                    \
            *Obj = static_cast<IFrameBase *>(this);                                                \
            return true;                                                                           \
        }                                                                                          \
        *Obj = nullptr;                                                                            \
        return false;                                                                              \
    }                                                                                              \
    int _AddRef() override { return -1; }                                                          \
    int _Release() override { return -1; }                                                         \
    void FrameProc() override {}                                                                   \
                                                                                                   \
private:
