#pragma once

// A recording script engine and a recording core for the module tests.

#include "modulebase.h"
#include "modulelibrary.h"

#include <QApplication>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <gtest/gtest.h>

// Every engine call, in order, as one line: "Prepare", "AddObject OpenDialog",
// "Start <code>", ...
struct TEngineRecord
{
    static QStringList &Calls()
    {
        static QStringList calls;
        return calls;
    }
    static QList<QObject *> &Objects()
    {
        static QList<QObject *> objects;
        return objects;
    }
    static const QMetaObject *&GlobalClass()
    {
        static const QMetaObject *cls = nullptr;
        return cls;
    }
    // What CreateObject makes: a plain widget per class name, or nothing.
    static bool &CreateNothing()
    {
        static bool b = false;
        return b;
    }
    static bool &StartTextWasNull()
    {
        static bool b = false;
        return b;
    }
    static void Clear()
    {
        Calls().clear();
        Objects().clear();
        GlobalClass() = nullptr;
        StartTextWasNull() = false;
    }
};

inline TScriptHostApi RecordingEngine()
{
    TScriptHostApi api;
    api.CreateScriptHost = [](QApplication *, QWidget *W, ICore *) {
        TEngineRecord::Calls() << QStringLiteral("Create %1").arg(W->metaObject()->className());
    };
    api.PrepareScriptHost = [] { TEngineRecord::Calls() << QStringLiteral("Prepare"); };
    api.AddGlobalFunctions = [](const QMetaObject *C) {
        TEngineRecord::GlobalClass() = C;
        TEngineRecord::Calls() << QStringLiteral("AddGlobalFunctions %1").arg(C->className());
    };
    api.AddObject = [](QObject *O, const char16_t *N) {
        TEngineRecord::Objects() << O;
        TEngineRecord::Calls() << QStringLiteral("AddObject %1").arg(QString::fromUtf16(N));
    };
    api.ObjectCreated = [](QObject *O) {
        TEngineRecord::Objects() << O;
        TEngineRecord::Calls() << QStringLiteral("ObjectCreated %1").arg(O->metaObject()->className());
    };
    api.CreateObject = [](QObject *Owner, const char16_t *C, const char16_t *P, const QImage *Pic) -> QWidget * {
        const QString cls = QString::fromUtf16(C);
        TEngineRecord::Calls() << QStringLiteral("CreateObject %1 %2 %3")
                                      .arg(cls, QString::fromUtf16(P), Pic ? QStringLiteral("picture") : QStringLiteral("none"));
        if (TEngineRecord::CreateNothing())
            return nullptr;
        auto *w = new QWidget(qobject_cast<QWidget *>(Owner));
        w->setObjectName(cls);
        w->setParent(nullptr);
        // Owned by the owner, not parented, as the engine hands it out.
        QObject::connect(Owner, &QObject::destroyed, w, [w] { delete w; });
        return w;
    };
    api.StartScriptHost = [](const char16_t *Code) {
        TEngineRecord::StartTextWasNull() = Code == nullptr;
        TEngineRecord::Calls() << QStringLiteral("Start %1").arg(Code ? QString::fromUtf16(Code) : QString());
    };
    api.StopScriptHost = [] { TEngineRecord::Calls() << QStringLiteral("Stop"); };
    return api;
}

// Installs the recording engine for the life of a test.
class TRecordingEngineScope
{
public:
    TRecordingEngineScope()
    {
        TEngineRecord::Clear();
        TEngineRecord::CreateNothing() = false;
        FPrevious = SetScriptHostApi(RecordingEngine());
    }
    ~TRecordingEngineScope() { SetScriptHostApi(FPrevious); }

private:
    TScriptHostApi FPrevious;
};

// A core and view that record what the module windows do to them.
class TRecordingCore : public ICore, public IView
{
public:
    QStringList Log;
    QList<QObject *> Observers;
    QString Source;

    bool QueryInterface(const QUuid &, void **Obj) override
    {
        *Obj = nullptr;
        return false;
    }
    int _AddRef() override { return -1; }
    int _Release() override { return -1; }

    QString GetSouceCode() override { return Source; }
    IView *GetView() override { return this; }

    void Add(QObject *O) override
    {
        Observers << O;
        Log << QStringLiteral("Add");
    }
    void Remove(QObject *O) override
    {
        Observers.removeAll(O);
        Log << QStringLiteral("Remove");
    }
    void sp_SetToolBar(const QString &N) override { Log << QStringLiteral("SetToolBar ") + N; }
    void sp_SetSourceCode(const QString &T) override { Log << QStringLiteral("SetSourceCode ") + T; }
    void sp_CodeError(const TValueList *E) override
    {
        Log << QStringLiteral("CodeError %1: %2").arg(E->Values("LineNo"), E->Values("ErrorMsg"));
    }
    void sp_Message(const QString &M) override { Log << QStringLiteral("Message ") + M; }
};

#ifdef KB_MODULES_DIR
// Loads Modules/lib<Name>.so of the build's program folder and makes its
// window; the library stays loaded for the rest of the process.
inline TModuleInterface *CreateWindow(const char *AName)
{
    TModuleLibrary library;
    if (!library.Load(QStringLiteral(KB_MODULES_DIR "/lib%1.so").arg(QLatin1String(AName)))) {
        ADD_FAILURE() << qPrintable(library.ErrorString());
        return nullptr;
    }
    const auto create = library.Resolve<TCreateModule>("CreateModule");
    if (!create) {
        ADD_FAILURE() << "no CreateModule in " << AName;
        return nullptr;
    }
    // The loader argument is never read.
    return create(qApp, reinterpret_cast<QObject *>(0x1));
}
#endif
