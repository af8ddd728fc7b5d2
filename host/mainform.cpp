#include "mainform.h"

#include "caption.h"
#include "core.h"
#include "debugtrace.h"
#include "editorframe.h"
#include "messages.h"
#include "module.h"
#include "packetcodes.h"
#include "saveforminfo.h"
#include "toolbars.h"
#include "valuelist.h"
#include "view.h"
#include "web.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenuBar>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

TfmMain *fmMain = nullptr;

// ---------------------------------------------------------------------------
// TClientSplitter

namespace {

class TPlainHandle : public QSplitterHandle
{
public:
    using QSplitterHandle::QSplitterHandle;

protected:
    void paintEvent(QPaintEvent *) override
    {
        // Only the contents show: a thin handle is masked to them.
        QPainter p(this);
        p.fillRect(contentsRect(), palette().window());
    }
};

} // namespace

TClientSplitter::TClientSplitter(QWidget *AParent)
    : QSplitter(Qt::Vertical, AParent)
{
    setHandleWidth(3);
    // Dragging keeps some of both sides.
    setChildrenCollapsible(false);
}

QSplitterHandle *TClientSplitter::createHandle()
{
    return new TPlainHandle(orientation(), this);
}

// ---------------------------------------------------------------------------
// TfmMain

TfmMain::TfmMain(QWidget *AOwner)
    : QWidget(AOwner)
{
    fmMain = this;
    setObjectName(QStringLiteral("fmMain"));
    setWindowTitle(QStringLiteral("Kitebench"));
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    setFont(font);

    // Children in the order of the form: each frame registers with the view
    // as it is made, the module tool bar first, so it makes the core.
    FClient = new TClientSplitter(this);
    frToolBarModule = new TfrToolBarModule(this);
    frToolBarModule->setVisible(false);
    frToolBarMain = new TfrToolBarMain(this);
    frMessages = new TfrMessages(this);
    frMessages->setMinimumHeight(40);
    frMessages->setVisible(false);
    frEditor = new TfrEditor(this);
    frWeb = new TfrWeb(this);
    frCaption = new TfrCaption(this);
    frCaption->setVisible(false);
    tmClose = new QTimer(this);
    tmClose->setObjectName(QStringLiteral("tmClose"));
    tmClose->setInterval(200);
    connect(tmClose, &QTimer::timeout, this, &TfmMain::tmCloseTimer);

    // Top: main tool bar, module tool bar, banner; at most one tool bar shows.
    // Below them the editor or the web pane, and under the bar the message
    // pane, 180 pixels high until the learner drags the bar.
    FClient->addWidget(frEditor);
    FClient->addWidget(frWeb);
    FClient->addWidget(frMessages);
    FClient->setStretchFactor(0, 1);
    FClient->setStretchFactor(1, 1);
    FClient->setStretchFactor(2, 0);
    FClient->setSizes({550, 550, 180});
    frMessages->resize(frMessages->width(), 180);
    Splitter = FClient->handle(2);
    Splitter->setObjectName(QStringLiteral("Splitter"));
    FLayout = new QVBoxLayout(this);
    FLayout->setContentsMargins(0, 0, 0, 0);
    FLayout->setSpacing(0);
    FLayout->addWidget(frToolBarMain);
    FLayout->addWidget(frToolBarModule);
    FLayout->addWidget(frCaption);
    FLayout->addWidget(FClient, 1);
    setTabOrder(frToolBarModule, frToolBarMain);
    setTabOrder(frToolBarMain, frMessages);
    setTabOrder(frMessages, frEditor);
    setTabOrder(frEditor, frWeb);
    setTabOrder(frWeb, frCaption);

    resize(1008, 730);

    // The question before changes are given up offers the File menu's Save.
    frEditor->OnSave = [this] { return frToolBarModule->SaveEditor(); };

    frEditor->setVisible(false);
    TCore::Obj()->Initialize();
    TCore::Obj()->View()->Add(this);
}

TfmMain::~TfmMain()
{
    TCore::Obj()->View()->Remove(this);
    // Freeing the placement memory writes the placement; a write that fails
    // is traced, and destruction goes on.
    if (!TSaveFormInfo::Free(FSaveFormInfo))
        DebugTrace(QStringLiteral("TfmMain.Destroy - FreeAndNil(FSaveFormInfo)"));
    if (fmMain == this)
        fmMain = nullptr;
}

void TfmMain::SetMenu(QMenuBar *AMenu)
{
    if (FMenu == AMenu)
        return;
    if (FMenu) {
        FMenu->hide();
        FLayout->setMenuBar(nullptr);
    }
    FMenu = AMenu;
    if (AMenu) {
        if (AMenu->parentWidget() != this)
            AMenu->setParent(this);
        FLayout->setMenuBar(AMenu);
        AMenu->show();
    }
}

void TfmMain::rp_SetToolBar(TValueList *AParams)
{
    const QString name = AParams->Values(PacketKey::Name);
    frToolBarMain->setVisible(name == ToolBarMode::Main);
    frToolBarModule->setVisible(name == ToolBarMode::Module);
}

void TfmMain::setVisible(bool AVisible)
{
    // Placed before it is mapped, as module windows are: a window placed
    // after that is put where the window manager likes, and its stored
    // outer size is taken for its client size.
    if (AVisible && isHidden() && !FSaveFormInfo)
        FSaveFormInfo = new TSaveFormInfo(this, 0, 0, 1024, 768);
    QWidget::setVisible(AVisible);
}

void TfmMain::showEvent(QShowEvent *AEvent)
{
    QWidget::showEvent(AEvent);
    // To the front on every show, without staying on top.
    raise();
    activateWindow();
}

void TfmMain::closeEvent(QCloseEvent *AEvent)
{
    AEvent->ignore();
    // Unsaved changes are saved or given up first; Cancel keeps the program
    // running. Once the shut-down has begun nothing is asked again.
    if (!tmClose->isActive() && !frEditor->QuerySaveChanges())
        return;
    TCore::Obj()->View()->sp_CloseModules();
    TCore::Obj()->Finalize();
    // A running timer is not restarted by a second request.
    if (!tmClose->isActive())
        tmClose->start();
}

void TfmMain::tmCloseTimer()
{
    // The closed module windows have freed themselves by now; their library
    // can go.
    TModule::Obj()->Finalize();
    QCoreApplication::exit(0);
}
