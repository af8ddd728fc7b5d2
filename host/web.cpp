#include "web.h"

#include "appexception.h"
#include "core.h"
#include "disk.h"
#include "editorframe.h"
#include "module.h"
#include "packetcodes.h"
#include "params.h"
#include "valuelist.h"
#include "view.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>

namespace {

// The browser passes links of schemes that it does not know to nobody;
// registered and handled, a "kb:" link is an ordinary navigation that the
// page sees and cancels.
// Registration must come before the application object, so it is done when
// the host library loads. Only local pages (the home page) may link to it.
[[maybe_unused]] const bool GLinkSchemeRegistered = [] {
    QWebEngineUrlScheme scheme("kb");
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    scheme.setFlags(QWebEngineUrlScheme::LocalScheme);
    QWebEngineUrlScheme::registerScheme(scheme);
    return true;
}();

// A "kb:" request that ever got past the page's test goes nowhere.
class TLinkSchemeHandler : public QWebEngineUrlSchemeHandler
{
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void requestStarted(QWebEngineUrlRequestJob *AJob) override
    {
        AJob->fail(QWebEngineUrlRequestJob::RequestDenied);
    }
};

// The file in "Samples" that a link's sample name names; its "\" are the
// system's folder separators. Empty for no name, and for a name that would
// leave the folder (an absolute path, "..", a NUL that would end the name
// early), which is refused as a missing sample is.
QString SamplePath(const QString &AName)
{
    QString name = AName;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (name.isEmpty() || name.contains(QChar(0)) || name.startsWith(QLatin1Char('/')))
        return QString();
    const QString samples = QDir::cleanPath(GetExecPath() + QStringLiteral("Samples")) + QLatin1Char('/');
    const QString path = QDir::cleanPath(samples + name);
    return path.startsWith(samples) ? path : QString();
}

void InstallLinkSchemeHandler()
{
    QWebEngineProfile *profile = QWebEngineProfile::defaultProfile();
    if (!profile->urlSchemeHandler("kb"))
        profile->installUrlSchemeHandler("kb", new TLinkSchemeHandler(profile));
}

} // namespace

// ---------------------------------------------------------------------------
// TWebPage

TWebPage::TWebPage(TfrWeb *AFrame, QObject *AParent)
    : QWebEnginePage(AParent), FFrame(AFrame)
{
}

bool TWebPage::acceptNavigationRequest(const QUrl &AUrl, NavigationType, bool)
{
    // The link as written: escapes stay for TParams to decode, so that %2F
    // splits like "/".
    return !FFrame->WebBrowserBeforeNavigate2(QString::fromUtf8(AUrl.toEncoded()));
}

// ---------------------------------------------------------------------------
// TfrWeb

TfrWeb::TfrWeb(QWidget *AOwner)
    : QFrame(AOwner)
{
    setObjectName(QStringLiteral("frWeb"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    InstallLinkSchemeHandler();
    WebBrowser = new QWebEngineView(this);
    WebBrowser->setObjectName(QStringLiteral("WebBrowser"));
    // The page is the frame's, not the view's: the view must go first.
    WebBrowser->setPage(new TWebPage(this, this));
    WebBrowser->setContextMenuPolicy(Qt::NoContextMenu);
    layout->addWidget(WebBrowser);

    Home();
    TCore::Obj()->View()->Add(this);
}

TfrWeb::~TfrWeb()
{
    TCore::Obj()->View()->Remove(this);
    QWebEnginePage *page = WebBrowser->page();
    delete WebBrowser;
    WebBrowser = nullptr;
    delete page;
}

QString TfrWeb::HomePath()
{
    return GetExecPath() + QStringLiteral("index.html");
}

QString TfrWeb::MissingHomePage(const QString &APath)
{
    return QStringLiteral(
               "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><style>"
               "body{font-family:sans-serif;background:#f4f6f8;color:#333;margin:48px}"
               "h1{font-size:20px;color:#a33}code{background:#e8eaed;padding:2px 4px}"
               "</style></head><body><h1>The home page could not be found.</h1>"
               "<p>Kitebench looks for <code>%1</code>.</p>"
               "<p>Reinstall Kitebench or copy <code>index.html</code> into its folder.</p>"
               "</body></html>")
        .arg(APath.toHtmlEscaped());
}

void TfrWeb::Home()
{
    try {
        const QString path = HomePath();
        if (QFileInfo(path).isFile())
            WebBrowser->load(QUrl::fromLocalFile(path));
        else
            WebBrowser->setHtml(MissingHomePage(path), QUrl(QStringLiteral("about:blank")));
    } catch (...) {
        // The pane keeps what it showed; nothing is reported.
    }
}

void TfrWeb::rp_SetToolBar(TValueList *AParams)
{
    setVisible(AParams->Values(PacketKey::Name) == ToolBarMode::Main);
}

bool TfrWeb::WebBrowserBeforeNavigate2(const QString &AURL)
{
    const bool cancel = AURL.toLower().contains(QLatin1String("kb://"));
    if (cancel) {
        // Opening a module shows windows and may raise errors; neither
        // belongs inside the browser's own navigation call.
        QTimer::singleShot(0, this, [url = AURL] { DispatchLink(url); });
    }
    return cancel;
}

void TfrWeb::DispatchLink(const QString &AURL)
{
    try {
        // The link replaces the editor's text: changes are saved or given
        // up first, or the link is not followed.
        if (!EditorMayBeReplaced())
            return;
        const TParams params(AURL);
        TModule::Obj()->LoadModule(nullptr, params.GetString(4));

        const QString path = SamplePath(params.GetString(5));
        if (!GEditorFrame)
            return;
        if (!path.isEmpty() && QFileInfo(path).isFile())
            GEditorFrame->Lines().LoadFromFile(path);
        else
            GEditorFrame->Lines().Clear();
    } catch (const std::exception &E) {
        HandleApplicationException(E);
    } catch (...) {
        HandleApplicationException(std::runtime_error("Unknown exception while opening a module."));
    }
}
