#pragma once

#include "formcontrols.h"
#include "modulebase.h"

#include <QPlainTextEdit>
#include <QPointer>

// Lesson 2, potentiometer: the board with the LED, a dial that sets the blink
// time and a label that shows it; the lesson program goes to the host's
// editor at every show.
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
    TLabel *lbDial = nullptr;
    TImage *imgDial = nullptr;
    // Made by the engine, owned by the window; either may be nothing.
    QPointer<QWidget> FLED;
    QPointer<QWidget> FDial;

protected:
    void FormShow() override;
    void resizeEvent(QResizeEvent *AEvent) override;
};
