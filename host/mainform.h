#pragma once

#include "kbhost_export.h"

#include <QMenuBar>
#include <QPointer>
#include <QSplitter>
#include <QWidget>

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

// The client panes over the message pane, with a 3-pixel bar between them
// painted in the window colour, as the form framework draws its splitters
// (the style's own handle draws a grip).
class KBHOST_EXPORT TClientSplitter : public QSplitter
{
    Q_OBJECT

public:
    explicit TClientSplitter(QWidget *AParent = nullptr);

protected:
    QSplitterHandle *createHandle() override;
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
    // The bar above the message pane, shown with it.
    QSplitterHandle *Splitter = nullptr;
    TfrEditor *frEditor = nullptr;
    TfrWeb *frWeb = nullptr;
    QTimer *tmClose = nullptr;
    TfrCaption *frCaption = nullptr;

    // For tests only: the placement memory, made when the window is first
    // shown.
    TSaveFormInfo *SaveFormInfo() const { return FSaveFormInfo; }

    // The placement memory is made here, before the native window exists,
    // so that the window system opens it at its stored frame position.
    void setVisible(bool AVisible) override;

protected:
    void showEvent(QShowEvent *AEvent) override;
    void closeEvent(QCloseEvent *AEvent) override;

private:
    QVBoxLayout *FLayout = nullptr;
    TClientSplitter *FClient = nullptr;
    QPointer<QMenuBar> FMenu;
    TSaveFormInfo *FSaveFormInfo = nullptr;
};

// The main window, from the moment its construction begins.
extern KBHOST_EXPORT TfmMain *fmMain;
