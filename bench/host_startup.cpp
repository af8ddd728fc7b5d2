// Start-up and link benchmarks of the host:
//   cold start: from main() to the home page loaded in the web pane, each in
//   a fresh process (the browser engine starts once per process);
//   link: from a "kb:" link (given to the page, and clicked in the page) to
//   the module window shown and the host in module mode.
// Goals: cold start under 1 s, link under 150 ms.

#include "application.h"
#include "benchsupport.h"
#include "core.h"
#include "editorframe.h"
#include "mainform.h"
#include "module.h"
#include "packetcodes.h"
#include "toolbars.h"
#include "web.h"

#include <QElapsedTimer>
#include <QTest>
#include <QPointer>
#include <QProcess>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

void Report(const char *AName, std::vector<double> AMs, double AGoal)
{
    std::sort(AMs.begin(), AMs.end());
    const double median = AMs[AMs.size() / 2];
    std::printf("%-34s runs %2zu  median %7.1f ms  min %7.1f  max %7.1f  goal < %.0f ms  %s\n", AName,
                AMs.size(), median, AMs.front(), AMs.back(), AGoal, median < AGoal ? "ok" : "MISSED");
}

// One module open: from the link to the window shown and module mode on.
double OpenOnce(const std::function<void()> &AFollow)
{
    QElapsedTimer t;
    t.start();
    AFollow();
    const bool shown = Until([] {
        TModuleInterface *w = TModule::Obj()->CurrentModule();
        return w && w->isVisible() && !fmMain->frToolBarModule->isHidden();
    });
    const double ms = t.nsecsElapsed() / 1e6;
    QPointer<TModuleInterface> window = TModule::Obj()->CurrentModule();
    if (window)
        window->close();
    if (!Until([&] { return window.isNull() && fmMain->frEditor->isHidden(); }))
        std::printf("the module window did not close\n");
    return shown ? ms : 1e9;
}

int RunChild(int argc, char **argv, bool AHold)
{
    QElapsedTimer clock;
    clock.start();
    PrepareWebEngineEnvironment();
    TApplication app(argc, argv);
    auto *form = new TfmMain;
    bool loaded = false;
    QObject::connect(form->frWeb->WebBrowser, &QWebEngineView::loadFinished, [&](bool ok) { loaded = ok; });
    form->show();
    if (!Until([&] { return loaded; }, 20000)) {
        std::printf("home page did not load\n");
        return 1;
    }
    const double startMs = clock.nsecsElapsed() / 1e6;
    std::printf("start %.3f\n", startMs);

    if (!AHold) {
        std::vector<double> direct, clicked;
        for (int i = 0; i < 15; ++i)
            direct.push_back(OpenOnce([] { fmMain->frWeb->WebBrowserBeforeNavigate2(QStringLiteral("kb://kitebench/open/Bench")); }));
        for (int i = 0; i < 15; ++i)
            clicked.push_back(OpenOnce([] {
                fmMain->frWeb->WebBrowser->page()->runJavaScript(QStringLiteral(
                    "location.href = 'kb://kitebench/open/Bench/Hello.js';"));
            }));
        Report("link to module window shown", direct, 150);
        Report("page click to module window shown", clicked, 150);
    } else {
        // Keeps the windows up for a screenshot: main mode, then module mode
        // with a reported error.
        QTest::qWait(4000);
        fmMain->frWeb->WebBrowserBeforeNavigate2(QStringLiteral("kb://kitebench/open/Glow0001"));
        QTest::qWait(1500);
        TValueList error;
        error.SetValues(PacketKey::LineNo, QStringLiteral("10"));
        error.SetValues(PacketKey::ErrorMsg, QStringLiteral("ReferenceError: digitalWrte is not defined"));
        error.SetValues(PacketKey::ErrorText, QStringLiteral("  digitalWrte(13, HIGH);"));
        static_cast<ICore *>(TCore::Obj())->GetView()->sp_CodeError(&error);
        static_cast<ICore *>(TCore::Obj())->GetView()->sp_Message(QStringLiteral("setup() 실행 완료"));
        QTest::qWait(6000);
    }
    form->close();
    app.exec();
    delete form;
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && QByteArray(argv[1]) == "--child")
        return RunChild(argc, argv, false);
    if (argc > 1 && QByteArray(argv[1]) == "--hold")
        return RunChild(argc, argv, true);

    // Cold starts, each in a process of its own.
    std::vector<double> starts;
    for (int i = 0; i < 5; ++i) {
        QProcess child;
        child.setProcessChannelMode(QProcess::SeparateChannels);
        child.start(QString::fromLocal8Bit(argv[0]), {QStringLiteral("--child")});
        child.waitForFinished(120000);
        const QList<QByteArray> lines = child.readAllStandardOutput().split('\n');
        for (const QByteArray &line : lines) {
            if (line.startsWith("start "))
                starts.push_back(line.mid(6).toDouble());
            else if (i == 0 && !line.isEmpty())
                std::printf("%s\n", line.constData());
        }
    }
    if (starts.empty()) {
        std::printf("no start-up measured\n");
        return 1;
    }
    Report("cold start to home page loaded", starts, 1000);
    return 0;
}
