#pragma once

#include "interfacebase.h"
#include "moduleframework_export.h"
#include "valuelist.h"

#include <QObject>
#include <QPointer>
#include <QPlainTextEdit>
#include <QSize>
#include <QString>
#include <algorithm>
#include <exception>

class QFileDialog;
class QImage;
class TSaveFormInfo;

// The host's core as a module library sees it: each module library has its
// own, defined by KB_MODULE_ENTRY, and its windows' SetCore sets it. Hidden,
// so that no two libraries share one; it owns nothing.
extern Q_DECL_HIDDEN ICore *GCore;

// The script engine's operations as the module windows call them. The
// default table is the engine library's; tests put a recording one in its
// place.
struct TScriptHostApi
{
    void (*CreateScriptHost)(QApplication *AApplication, QWidget *AWindow, ICore *ACore);
    void (*PrepareScriptHost)();
    void (*AddGlobalFunctions)(const QMetaObject *AClass);
    void (*AddObject)(QObject *AObject, const char16_t *AName);
    void (*ObjectCreated)(QObject *AObject);
    QWidget *(*CreateObject)(QObject *AOwner, const char16_t *AClassName, const char16_t *AParams,
                             const QImage *APicture);
    void (*StartScriptHost)(const char16_t *ACode);
    void (*StopScriptHost)();
};

MODULEFRAMEWORK_EXPORT const TScriptHostApi &ScriptHost();
// Installs AApi and returns the table it replaces.
MODULEFRAMEWORK_EXPORT TScriptHostApi SetScriptHostApi(const TScriptHostApi &AApi);

// Convenience wrappers that pass texts as zero-terminated UTF-16.
MODULEFRAMEWORK_EXPORT void ScriptAddObject(QObject *AObject, const QString &AName);
MODULEFRAMEWORK_EXPORT QWidget *ScriptCreateObject(QObject *AOwner, const QString &AClassName,
                                                   const QString &AParams, const QImage *APicture);

// A file dialog that the user's program may use: Execute() shows it modally
// and returns whether a file was chosen, FileName holds the choice. Filter is
// written "Description|pattern|Description|pattern".
class MODULEFRAMEWORK_EXPORT TFileDialog : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString FileName READ GetFileName WRITE SetFileName)
    Q_PROPERTY(QString Filter READ GetFilter WRITE SetFilter)

public:
    TFileDialog(bool ASave, QObject *AOwner);

    Q_INVOKABLE bool Execute();
    // Closes the dialog that Execute shows, if it is showing, as if the user
    // had cancelled it.
    void Cancel();

    QString GetFileName() const { return FFileName; }
    void SetFileName(const QString &V) { FFileName = V; }
    QString GetFilter() const { return FFilter; }
    void SetFilter(const QString &V) { FFilter = V; }

    // The filter as the platform's dialog takes it: "All file(s)|*.*" gives
    // "All file(s) (*)", since "*.*" means every file.
    static QString QtFilter(const QString &AFilter);

private:
    bool FSave;
    QString FFileName;
    QString FFilter;
    QPointer<QFileDialog> FDialog;
};

class MODULEFRAMEWORK_EXPORT TOpenDialog : public TFileDialog
{
    Q_OBJECT
public:
    explicit TOpenDialog(QObject *AOwner) : TFileDialog(false, AOwner) {}
};

class MODULEFRAMEWORK_EXPORT TSaveDialog : public TFileDialog
{
    Q_OBJECT
public:
    explicit TSaveDialog(QObject *AOwner) : TFileDialog(true, AOwner) {}
};

// The window base of every module library: a top-level window with its own
// task-bar entry, a remembered placement (section "TfmModule", shared by all
// module windows), the switch of the host into its module mode and back, the
// binding of the script engine and two file dialogs for the user's program.
// It frees itself when closed. Scripts reach it by the names of a form.
class MODULEFRAMEWORK_EXPORT TModuleBase : public TModuleInterface
{
    Q_OBJECT
    Q_PROPERTY(int Left READ GetLeft WRITE SetLeft)
    Q_PROPERTY(int Top READ GetTop WRITE SetTop)
    Q_PROPERTY(int Width READ GetWidth WRITE SetWidth)
    Q_PROPERTY(int Height READ GetHeight WRITE SetHeight)
    Q_PROPERTY(int ClientWidth READ GetClientWidth WRITE SetClientWidth)
    Q_PROPERTY(int ClientHeight READ GetClientHeight WRITE SetClientHeight)
    Q_PROPERTY(QString Caption READ GetCaption WRITE SetCaption)
    Q_PROPERTY(int Color READ GetColor WRITE SetColor)
    Q_PROPERTY(bool Visible READ GetVisible WRITE SetVisible)

public:
    // The largest client width or height a program may give the form: one
    // larger than any screen shows nothing more, and its picture would take
    // gigabytes (Qt's own limit is 16777215).
    static constexpr int KMaxExtent = 16384;

    ~TModuleBase() override;

    void SetCore(ICore *ACore) override;
    void Start(const QString &ACode) override;
    void Stop() override;
    // Adds the module's global functions and objects; every module window
    // overrides it.
    virtual void AddObjects();

    Q_INVOKABLE void rp_CloseModules(TValueList *AParams);

    // The exception hook that is in force while a module window exists.
    static void ApplicationEventsException(QObject *Sender, const std::exception &E);

    TFileDialog *OpenDialog() const { return FOpenDialog; }
    TFileDialog *SaveDialog() const { return FSaveDialog; }
    // For tests only: the placement memory, made on the first show.
    TSaveFormInfo *SaveFormInfo() const { return FSaveFormInfo; }

    void setVisible(bool AVisible) override;

    int GetLeft() const;
    void SetLeft(int V);
    int GetTop() const;
    void SetTop(int V);
    int GetWidth() const;
    void SetWidth(int V);
    int GetHeight() const;
    void SetHeight(int V);
    int GetClientWidth() const { return width(); }
    void SetClientWidth(int V) { resize(std::clamp(V, 0, KMaxExtent), height()); }
    int GetClientHeight() const { return height(); }
    void SetClientHeight(int V) { resize(width(), std::clamp(V, 0, KMaxExtent)); }
    QString GetCaption() const { return windowTitle(); }
    void SetCaption(const QString &V) { setWindowTitle(V); }
    // $00BBGGRR
    int GetColor() const;
    void SetColor(int V);
    bool GetVisible() const { return !isHidden(); }
    void SetVisible(bool V) { setVisible(V); }

    // The default left edge for a window whose top-left corner is at
    // (ALeft, ATop): 1024 on a monitor at least 1024 + 480 pixels wide.
    static int DefaultLeft(int ALeft, int ATop);

protected:
    // AOwner is the shared application object (or nothing). ACore is the
    // core variable of the library whose window this is: the default is
    // taken where the window's class calls this, which is in that library.
    explicit TModuleBase(QObject *AOwner = nullptr, ICore **ACore = &GCore);

    // The look every module window shares: caption, a white 480 x 600 client
    // area that the outer frame may not shrink below 480 x 600, and the font.
    void InitForm(const QString &ACaption);

    // The show step, on every show before FormShow: placement on the first
    // show, then "SetToolBar" "Module".
    virtual void DoShow();
    // The window's own show handler (a form's OnShow).
    virtual void FormShow() {}

    // The core that SetCore gave this window's library, or nothing.
    ICore *Core() const { return *FCore; }

    // A lesson's show handler: posts the program held in ASource, trimmed
    // and with CR LF line ends, to the editor.
    void SendSourceCode(const QPlainTextEdit *ASource);
    // A program kept in the module's resources (UTF-8), as its memo holds it.
    static QString LessonProgramText(const QString &AResource);
    // Parents a control that the engine made for this window and shows it
    // at the given place; a control the engine could not make is skipped.
    void PlaceCreatedControl(QWidget *AControl, int ALeft, int ATop, int AWidth, int AHeight);
    void closeEvent(QCloseEvent *AEvent) override;

private:
    // Closes a file dialog that the program has open.
    void CancelDialogs();

    ICore **FCore;
    TSaveFormInfo *FSaveFormInfo = nullptr;
    TFileDialog *FOpenDialog = nullptr;
    TFileDialog *FSaveDialog = nullptr;
    QObject *FApplicationEvents = nullptr;
    QSize FMinOuterSize;
};
