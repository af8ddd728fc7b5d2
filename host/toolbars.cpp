#include "toolbars.h"

#include "core.h"
#include "editorframe.h"
#include "mainform.h"
#include "module.h"
#include "packetcodes.h"
#include "valuelist.h"
#include "view.h"
#include "web.h"
#include "xibutton.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

namespace {

const QStringList ScriptFilters{QStringLiteral("Java Script (*.js)"), QStringLiteral("All files (*)")};

QFileDialog *MakeScriptDialog(QWidget *AParent, QFileDialog::AcceptMode AMode, const QString &AName)
{
    auto *dialog = new QFileDialog(AParent);
    dialog->setObjectName(AName);
    dialog->setAcceptMode(AMode);
    dialog->setFileMode(AMode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                         : QFileDialog::AnyFile);
    dialog->setNameFilters(ScriptFilters);
    dialog->setDefaultSuffix(QStringLiteral("js"));
    // The same dialog on every desktop, and one that tests can drive.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    return dialog;
}

QFrame *MakeBar(QFrame *ABar, const QString &AName)
{
    ABar->setObjectName(AName);
    ABar->setFixedHeight(32);
    ABar->setAutoFillBackground(true);
    return ABar;
}

} // namespace

void ShowFileError(QWidget *AParent, const QString &AMessage)
{
    QMessageBox::warning(AParent ? AParent->window() : nullptr, QStringLiteral("Kitebench"), AMessage);
}

// ---------------------------------------------------------------------------
// TfrToolBarModule

TfrToolBarModule::TfrToolBarModule(QWidget *AOwner)
    : QFrame(AOwner)
{
    MakeBar(this, QStringLiteral("frToolBarModule"));
    btClose = NewToolBarButton(this, QStringLiteral("btClose"), QStringLiteral("Close"), 3, 4, false);
    btRun = NewToolBarButton(this, QStringLiteral("btRun"), QStringLiteral("Run"), 84, 4, false);
    btStop = NewToolBarButton(this, QStringLiteral("btStop"), QStringLiteral("Stop"), 165, 4, false);
    connect(btClose, &TXiButton::OnClick, this, &TfrToolBarModule::btCloseClick);
    connect(btRun, &TXiButton::OnClick, this, &TfrToolBarModule::btRunClick);
    connect(btStop, &TXiButton::OnClick, this, &TfrToolBarModule::btStopClick);

    // The menu bar belongs to this frame; the main window only displays it.
    MainMenu = new QMenuBar(nullptr);
    MainMenu->setObjectName(QStringLiteral("MainMenu"));
    MainMenu->setNativeMenuBar(false);
    File1 = MainMenu->addMenu(QStringLiteral("File"));
    File1->setObjectName(QStringLiteral("File1"));
    miOpen = File1->addAction(QStringLiteral("Open"));
    miOpen->setObjectName(QStringLiteral("miOpen"));
    miSave = File1->addAction(QStringLiteral("Save"));
    miSave->setObjectName(QStringLiteral("miSave"));
    connect(miOpen, &QAction::triggered, this, &TfrToolBarModule::miOpenClick);
    connect(miSave, &QAction::triggered, this, &TfrToolBarModule::miSaveClick);

    OpenDialog = MakeScriptDialog(this, QFileDialog::AcceptOpen, QStringLiteral("OpenDialog"));
    SaveDialog = MakeScriptDialog(this, QFileDialog::AcceptSave, QStringLiteral("SaveDialog"));

    TCore::Obj()->View()->Add(this);
}

TfrToolBarModule::~TfrToolBarModule()
{
    TCore::Obj()->View()->Remove(this);
    if (fmMain && fmMain->Menu() == MainMenu)
        fmMain->SetMenu(nullptr);
    delete MainMenu;
    MainMenu = nullptr;
}

void TfrToolBarModule::btCloseClick()
{
    TCore::Obj()->View()->sp_CloseModules();
}

void TfrToolBarModule::btRunClick()
{
    TCore::Obj()->View()->sp_ClearErrorMessage();
    // The loader forgets a window once it has been deleted, so a closed
    // module is never called.
    if (TModuleInterface *module = TModule::Obj()->CurrentModule())
        module->Start(EditorSourceText());
}

void TfrToolBarModule::btStopClick()
{
    if (TModuleInterface *module = TModule::Obj()->CurrentModule())
        module->Stop();
}

void TfrToolBarModule::miOpenClick()
{
    if (!GEditorFrame || !GEditorFrame->QuerySaveChanges() || OpenDialog->exec() != QDialog::Accepted)
        return;
    const QStringList files = OpenDialog->selectedFiles();
    if (files.isEmpty())
        return;
    try {
        GEditorFrame->Lines().LoadFromFile(files.first());
    } catch (const EFileError &E) {
        ShowFileError(this, E.Message());
    }
}

void TfrToolBarModule::miSaveClick()
{
    SaveEditor();
}

bool TfrToolBarModule::SaveEditor()
{
    if (!GEditorFrame || SaveDialog->exec() != QDialog::Accepted)
        return false;
    const QStringList files = SaveDialog->selectedFiles();
    if (files.isEmpty())
        return false;
    try {
        GEditorFrame->Lines().SaveToFile(files.first());
        return true;
    } catch (const EFileError &E) {
        ShowFileError(this, E.Message());
        return false;
    }
}

void TfrToolBarModule::rp_SetToolBar(TValueList *AParams)
{
    if (!fmMain)
        return;
    const bool module = AParams->Values(PacketKey::Name) == ToolBarMode::Module;
    fmMain->SetMenu(module ? MainMenu : nullptr);
}

// ---------------------------------------------------------------------------
// TfrToolBarMain

TfrToolBarMain::TfrToolBarMain(QWidget *AOwner)
    : QFrame(AOwner)
{
    MakeBar(this, QStringLiteral("frToolBarMain"));
    btHome = NewToolBarButton(this, QStringLiteral("btHome"), QStringLiteral("Home"), 3, 3, true);
    connect(btHome, &TXiButton::OnClick, this, &TfrToolBarMain::btHomeClick);
    TCore::Obj()->View()->Add(this);
}

TfrToolBarMain::~TfrToolBarMain()
{
    TCore::Obj()->View()->Remove(this);
}

void TfrToolBarMain::btHomeClick()
{
    if (fmMain && fmMain->frWeb)
        fmMain->frWeb->Home();
}
