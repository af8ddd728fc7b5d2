#pragma once

#include "core.h"
#include "disk.h"
#include "module.h"
#include "modulelibrary.h"
#include "valuelist.h"
#include "view.h"

#include <QObject>
#include <QStringList>

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
    return TModuleLibrary::IsResident(TModule::ModulePath(AModuleName));
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

#include <QAbstractButton>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>

// Answers the modal windows that come up while it lives, as the learner
// would, and notes what it saw: the save question with Answer, a file
// dialog with FileName (cancelled when empty), an error box with OK.
class Learner
{
public:
    explicit Learner(QMessageBox::StandardButton AAnswer, const QString &AFileName = QString())
        : Answer(AAnswer), FileName(AFileName)
    {
        FPoll.setInterval(10);
        QObject::connect(&FPoll, &QTimer::timeout, [this] { Act(); });
        FPoll.start();
    }

    QMessageBox::StandardButton Answer;
    QString FileName;
    int Questions = 0;
    int FileDialogs = 0;
    QStringList Errors;

private:
    void Act()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            if (box->button(QMessageBox::Save)) {
                ++Questions;
                box->button(Answer)->click();
            } else {
                Errors << box->text();
                box->accept();
            }
        } else if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            ++FileDialogs;
            if (FileName.isEmpty()) {
                dialog->reject();
                return;
            }
            dialog->setDirectory(QFileInfo(FileName).absolutePath());
            if (auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                edit->setText(QFileInfo(FileName).fileName());
            static_cast<QDialog *>(dialog)->accept();
        }
    }

    QTimer FPoll;
};

// The browser engine's bundled code frees some of its own objects with a
// size other than the one they were made with, and leaves objects of its
// threads behind at exit; AddressSanitizer would fail every test that shows
// a web page on either. Used once per test program with the web pane.
#define KB_WEB_ENGINE_SANITIZER_OPTIONS                                                            \
    extern "C" __attribute__((visibility("default"), used)) const char *__asan_default_options()   \
    {                                                                                              \
        return "new_delete_type_mismatch=0:detect_leaks=0";                                                       \
    }
