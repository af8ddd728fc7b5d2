#pragma once

#include "kbhost_export.h"

#include <QPointer>
#include <QWidget>

#include <QMenuBar>
class QTimer;
class QVBoxLayout;
class TSaveFormInfo;
class TValueList;
class TfrCaption;
class TfrEditor;
class TfrMessages;
class TfrToolBarMain;
class TfrToolBarModule;
class TfrWeb;

// A 3-pixel bar that resizes the pane below it by dragging.
class KBHOST_EXPORT TSplitter : public QWidget
{
    Q_OBJECT

public:
    explicit TSplitter(QWidget *AParent = nullptr);

    // The pane whose height the bar sets.
    void SetControl(QWidget *AControl) { FControl = AControl; }

protected:
    void mousePressEvent(QMouseEvent *AEvent) override;
    void mouseMoveEvent(QMouseEvent *AEvent) override;
    void mouseReleaseEvent(QMouseEvent *AEvent) override;
    void paintEvent(QPaintEvent *AEvent) override;

private:
    QPointer<QWidget> FControl;
    int FStartY = 0;
    int FStartHeight = 0;
    bool FDragging = false;
};

// The host's main window: the two tool bars, the editor and the web pane in
// the client area, the message pane at the bottom. Closing is refused at
// first: module windows are closed, the core is finalized, and a 200 ms
// timer then frees the module library and ends the program.
class KBHOST_EXPORT TfmMain : public QWidget
{
    Q_OBJECT

public:
    explicit TfmMain(QWidget *AOwner = nullptr);
    ~TfmMain() override;

    // Main and module mode: which tool bar shows.
    Q_INVOKABLE void rp_SetToolBar(TValueList *AParams);

    // The menu bar shown above the tool bars, or none.
    void SetMenu(QMenuBar *AMenu);
    QMenuBar *Menu() const { return FMenu.data(); }

    void tmCloseTimer();

    TfrToolBarModule *frToolBarModule = nullptr;
    TfrToolBarMain *frToolBarMain = nullptr;
    TfrMessages *frMessages = nullptr;
    TSplitter *Splitter = nullptr;
    TfrEditor *frEditor = nullptr;
    TfrWeb *frWeb = nullptr;
    QTimer *tmClose = nullptr;
    TfrCaption *frCaption = nullptr;

    TSaveFormInfo *SaveFormInfo() const { return FSaveFormInfo; }

    // The placement memory is made here, before the native window exists,
    // so that the window system opens it at its stored frame position.
    void setVisible(bool AVisible) override;

protected:
    void showEvent(QShowEvent *AEvent) override;
    void closeEvent(QCloseEvent *AEvent) override;

private:
    QVBoxLayout *FLayout = nullptr;
    QPointer<QMenuBar> FMenu;
    TSaveFormInfo *FSaveFormInfo = nullptr;
};

// The main window, from the moment its construction begins.
extern KBHOST_EXPORT TfmMain *fmMain;
