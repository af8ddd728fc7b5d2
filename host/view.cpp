#include "view.h"

#include "observerlist.h"
#include "packetcodes.h"
#include "valuelist.h"

TView::TView(QObject *AOwner)
    : QObject(AOwner), FObserverList(new TObserverList(nullptr))
{
}

TView::~TView()
{
    TObserverList *list = FObserverList;
    FObserverList = nullptr;
    delete list;
}

bool TView::QueryInterface(const QUuid &IID, void **Obj)
{
    if (!Obj)
        return false;
    if (IID == IView::IID) {
        *Obj = static_cast<IView *>(this);
        return true;
    }
    if (IID == IInterface::IID) {
        *Obj = static_cast<IInterface *>(this);
        return true;
    }
    *Obj = nullptr;
    return false;
}

void TView::Add(QObject *Observer)
{
    FObserverList->Add(Observer);
}

void TView::Remove(QObject *Observer)
{
    FObserverList->Remove(Observer);
}

bool TView::Active() const
{
    return FObserverList->Active();
}

void TView::SetActive(bool Value)
{
    FObserverList->SetActive(Value);
}

// The packet lives on the stack, so it is freed also when delivery throws.
void TView::Send(const QString &ACode, const QString &AKey, const QString &AValue, bool ASynchronous)
{
    TValueList packet;
    packet.SetValues(PacketKey::Code, ACode);
    // An empty value stores no line: the key is left out.
    if (!AKey.isEmpty())
        packet.SetValues(AKey, AValue);
    if (ASynchronous)
        FObserverList->BroadCast(&packet);
    else
        FObserverList->AsyncBroadcast(&packet);
}

void TView::sp_Initialize()
{
    Send(PacketCode::Initialize, QString(), QString(), false);
}

void TView::sp_Finalize()
{
    Send(PacketCode::Finalize, QString(), QString(), true);
}

void TView::sp_ClearErrorMessage()
{
    Send(PacketCode::ClearErrorMessage, QString(), QString(), false);
}

void TView::sp_CloseModules()
{
    Send(PacketCode::CloseModules, QString(), QString(), true);
}

void TView::sp_SetToolBar(const QString &AName)
{
    Send(PacketCode::SetToolBar, PacketKey::Name, AName, false);
}

void TView::sp_SetSourceCode(const QString &AText)
{
    Send(PacketCode::SetSourceCode, PacketKey::Text, AText, false);
}

void TView::sp_Message(const QString &AMsg)
{
    Send(PacketCode::Message, PacketKey::Msg, AMsg, false);
}

// The caller's list is copied through its text form, so its lines, names and
// order arrive unchanged; "Code" replaces any "Code" line in place, else it
// is appended. A missing list counts as an empty one.
void TView::sp_CodeError(const TValueList *AError)
{
    TValueList packet;
    if (AError)
        packet.SetText(AError->Text());
    packet.SetValues(PacketKey::Code, PacketCode::CodeError);
    FObserverList->AsyncBroadcast(&packet);
}
