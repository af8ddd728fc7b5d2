#include "core.h"

#include "editorframe.h"
#include "view.h"

TCore::TCore(QObject *AOwner)
    : QObject(AOwner)
{
    FOption = new TOption;
    FView = new TView(this);
    FView->Add(this);
}

TCore::~TCore()
{
    Finalize();
    TOption *option = FOption;
    FOption = nullptr;
    delete option;
    TView *view = FView;
    FView = nullptr;
    delete view;
}

TCore *TCore::Obj()
{
    // Made on the first call, which comes from the user-interface thread, so
    // the view's hidden window belongs to that thread.
    static TCore *const core = new TCore(nullptr);
    return core;
}

void TCore::Initialize()
{
    if (FIsfinalized || FIsInitialized)
        return;
    FIsInitialized = true;
    FView->sp_Initialize();
}

void TCore::Finalize()
{
    if (FIsfinalized)
        return;
    FIsfinalized = true;
    FView->Remove(this);
    FView->sp_Finalize();
    FView->SetActive(false);
}

bool TCore::QueryInterface(const QUuid &IID, void **Obj)
{
    if (!Obj)
        return false;
    if (IID == ICore::IID) {
        *Obj = static_cast<ICore *>(this);
        return true;
    }
    if (IID == IInterface::IID) {
        *Obj = static_cast<IInterface *>(this);
        return true;
    }
    *Obj = nullptr;
    return false;
}

QString TCore::GetSouceCode()
{
    return EditorSourceText();
}

IView *TCore::GetView()
{
    if (!FView)
        return nullptr;
    void *view = nullptr;
    FView->QueryInterface(IView::IID, &view);
    return static_cast<IView *>(view);
}
