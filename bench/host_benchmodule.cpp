// The smallest module library the host can open: a window that announces
// module mode on show, as every module does.

#include "interfacebase.h"
#include "packetcodes.h"
#include "valuelist.h"

#include <QCloseEvent>

namespace {

class TfmModule : public TModuleInterface
{
    Q_OBJECT

public:
    TfmModule()
    {
        setAttribute(Qt::WA_DeleteOnClose);
        setWindowTitle(QStringLiteral("Bench"));
        resize(480, 600);
    }
    ~TfmModule() override
    {
        if (FView)
            FView->Remove(this);
    }
    void SetCore(ICore *ACore) override
    {
        FView = ACore->GetView();
        FView->Add(this);
    }
    void Start(const QString &) override {}
    void Stop() override {}
    Q_INVOKABLE void rp_CloseModules(TValueList *) { close(); }

protected:
    void showEvent(QShowEvent *AEvent) override
    {
        TModuleInterface::showEvent(AEvent);
        FView->sp_SetToolBar(ToolBarMode::Module);
    }
    void closeEvent(QCloseEvent *AEvent) override
    {
        FView->Remove(this);
        FView->sp_SetToolBar(ToolBarMode::Main);
        FView = nullptr;
        AEvent->accept();
    }

private:
    IView *FView = nullptr;
};

} // namespace

extern "C" Q_DECL_EXPORT TModuleInterface *CreateModule(QApplication *, QObject *)
{
    return new TfmModule;
}

#include "host_benchmodule.moc"
