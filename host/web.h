#pragma once

#include "framebase.h"
#include "kbhost_export.h"

#include <QFrame>
#include <QWebEnginePage>

class QWebEngineView;
class TValueList;
class TfrWeb;

// The web pane's page: every navigation, in any frame, passes the frame's
// link test before it happens.
class KBHOST_EXPORT TWebPage : public QWebEnginePage
{
    Q_OBJECT

public:
    TWebPage(TfrWeb *AFrame, QObject *AParent = nullptr);

    // The before-navigate event; false cancels the navigation.
    bool acceptNavigationRequest(const QUrl &AUrl, NavigationType AType, bool AIsMainFrame) override;

private:
    TfrWeb *FFrame;
};

// The web pane with the home page. A link whose text contains "kb://" (in
// any case) is not followed but dispatched: segment 4 names the module to
// open, segment 5 a sample program for the editor.
class KBHOST_EXPORT TfrWeb : public QFrame, public IFrameBase
{
    Q_OBJECT
    KB_FRAME_BASE

public:
    explicit TfrWeb(QWidget *AOwner = nullptr);
    ~TfrWeb() override;

    // Shows "index.html" from the program folder.
    void Home();

    // Visible exactly for "Main".
    Q_INVOKABLE void rp_SetToolBar(TValueList *AParams);

    // The link test: true (cancel) when the lower-cased URL holds "kb://";
    // the link is then dispatched from the event loop.
    bool WebBrowserBeforeNavigate2(const QString &AURL);

    // Opens the module that the link names and loads its sample, or empties
    // the editor; changes in the editor are saved or given up first, or
    // nothing happens. Exceptions go to the application's exception
    // handling.
    static void DispatchLink(const QString &AURL);

    // The home page's path.
    static QString HomePath();

    QWebEngineView *WebBrowser = nullptr;

private:
    // The page shown when the home page is missing.
    static QString MissingHomePage(const QString &APath);
};
