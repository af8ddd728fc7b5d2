#pragma once

#include "formcontrols.h"
#include "modulebase.h"

#include <QPlainTextEdit>
#include <QPointer>

// Lesson 1, blinking a LED: the board with an LED on pin 13 and the lesson
// program, which the window puts into the host's editor at every show.
class TfmModule : public TModuleBase
{
    Q_OBJECT

public:
    explicit TfmModule(QObject *AOwner = nullptr);
    ~TfmModule() override;

    void AddObjects() override;

    QPlainTextEdit *moSrc = nullptr;
    TImage *Image1 = nullptr;
    TShape *Shape1 = nullptr;
    // Made by the engine, owned by the window; may be nothing.
    QPointer<QWidget> FLED;

protected:
    void FormShow() override;
};
