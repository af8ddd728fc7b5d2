#pragma once

#include "framebase.h"
#include "kbhost_export.h"

#include <QFrame>

#include "xibutton.h"
class QFileDialog;
class QMenu;
class QMenuBar;
class QAction;
class TValueList;

// The module tool bar: Close, Run and Stop for the open module window, and
// the File menu (Open, Save) that the main window shows in module mode.
class KBHOST_EXPORT TfrToolBarModule : public QFrame, public IFrameBase
{
    Q_OBJECT
    KB_FRAME_BASE

public:
    explicit TfrToolBarModule(QWidget *AOwner = nullptr);
    ~TfrToolBarModule() override;

    void btCloseClick();
    // Clears the message pane, then starts the open module with the editor's
    // text. Does nothing while no module window is open.
    void btRunClick();
    void btStopClick();
    // Open asks first when the editor holds changes (the editor's
    // QuerySaveChanges).
    void miOpenClick();
    void miSaveClick();

    // Runs the save dialog and writes the editor's text to the file chosen.
    // False when the dialog was cancelled or the file could not be written
    // (the error has been shown).
    bool SaveEditor();

    // The main window carries the File menu exactly for "Module".
    Q_INVOKABLE void rp_SetToolBar(TValueList *AParams);

    TXiButton *btClose = nullptr;
    TXiButton *btRun = nullptr;
    TXiButton *btStop = nullptr;
    QMenuBar *MainMenu = nullptr;
    QMenu *File1 = nullptr;
    QAction *miOpen = nullptr;
    QAction *miSave = nullptr;
    QFileDialog *OpenDialog = nullptr;
    QFileDialog *SaveDialog = nullptr;
};

// The main tool bar: Home brings the web pane back to the home page.
class KBHOST_EXPORT TfrToolBarMain : public QFrame, public IFrameBase
{
    Q_OBJECT
    KB_FRAME_BASE

public:
    explicit TfrToolBarMain(QWidget *AOwner = nullptr);
    ~TfrToolBarMain() override;

    void btHomeClick();

    TXiButton *btHome = nullptr;
};

// Shows a file error to the user; the editor has been left as it was.
KBHOST_EXPORT void ShowFileError(QWidget *AParent, const QString &AMessage);
