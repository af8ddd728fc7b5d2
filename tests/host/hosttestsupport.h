#pragma once

#include "core.h"
#include "disk.h"
#include "module.h"
#include "valuelist.h"
#include "view.h"

#include <QObject>
#include <QStringList>
#include <dlfcn.h>

// Records the "Name" of every "SetToolBar" packet that reaches it.
class ToolBarRecorder : public QObject
{
    Q_OBJECT

public:
    ToolBarRecorder() { TCore::Obj()->View()->Add(this); }
    ~ToolBarRecorder() override { TCore::Obj()->View()->Remove(this); }

    Q_INVOKABLE void rp_SetToolBar(TValueList *AParams)
    {
        Names << AParams->Values(QStringLiteral("Name"));
    }

    QStringList Names;
};

// The host's bus as modules and the engine see it.
inline IView *HostView()
{
    return static_cast<ICore *>(TCore::Obj())->GetView();
}

// Whether the module library of that name is in the process right now.
inline bool IsResident(const QString &AModuleName)
{
    const QByteArray path = TModule::ModulePath(AModuleName).toLocal8Bit();
    void *handle = dlopen(path.constData(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return false;
    dlclose(handle);
    return true;
}

#include <QApplication>
#include <QTimer>
#include <functional>

// Hands the next visible modal dialog of class T to AAction once it is up
// (from inside the event loop that runs it).
template <class T>
void WhenModal(std::function<void(T *)> AAction)
{
    auto *poll = new QTimer;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, [poll, AAction] {
        T *dialog = qobject_cast<T *>(QApplication::activeModalWidget());
        if (dialog && dialog->isVisible()) {
            poll->stop();
            poll->deleteLater();
            AAction(dialog);
        }
    });
    poll->start();
}

// The browser engine's bundled code frees some of its own objects with a
// size other than the one they were made with, and leaves objects of its
// threads behind at exit; AddressSanitizer would fail every test that shows
// a web page on either. Used once per test program with the web pane.
#define KB_WEB_ENGINE_SANITIZER_OPTIONS                                                            \
    extern "C" __attribute__((visibility("default"), used)) const char *__asan_default_options()   \
    {                                                                                              \
        return "new_delete_type_mismatch=0:detect_leaks=0";                                                       \
    }
