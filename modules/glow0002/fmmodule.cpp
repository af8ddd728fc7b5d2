#include "fmmodule.h"

#include "moduleentry.h"

#include <QResizeEvent>

TfmModule::TfmModule(QObject *AOwner)
    : TModuleBase(AOwner)
{
    InitForm(QStringLiteral("Glow0002 - Potentiometer"));

    // Fills the client area; the board is drawn at its own size and cut.
    Image1 = new TImage(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(rect());
    Image1->SetPicture(QImage(QStringLiteral(":/glow0002/board.png")));

    Shape1 = new TShape(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setGeometry(136, 374, 32, 32);
    Shape1->SetBrushColor(Qt::red);
    Shape1->hide();

    lbDial = new TLabel(this);
    lbDial->setObjectName(QStringLiteral("lbDial"));
    lbDial->setGeometry(96, 534, 120, 13);
    lbDial->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lbDial->SetCaption(QStringLiteral("0"));

    imgDial = new TImage(this);
    imgDial->setObjectName(QStringLiteral("imgDial"));
    imgDial->SetPicture(QImage(QStringLiteral(":/glow0002/dial.png")));
    imgDial->setGeometry(96, 412, imgDial->Picture().width(), imgDial->Picture().height());
    imgDial->hide();

    moSrc = new QPlainTextEdit(this);
    moSrc->setObjectName(QStringLiteral("moSrc"));
    moSrc->setLineWrapMode(QPlainTextEdit::NoWrap);
    moSrc->setPlainText(LessonProgramText(QStringLiteral(":/glow0002/program.js")));
    moSrc->hide();

    FLED = ScriptCreateObject(this, QStringLiteral("TLED"), QStringLiteral("Color=red"), nullptr);
    PlaceCreatedControl(FLED, 136, 374, 32, 32);
    // imgDial keeps the picture the dial is made from.
    FDial = ScriptCreateObject(this, QStringLiteral("TDial"), QStringLiteral("MinAngle=145; MaxAngle=3450"),
                               &imgDial->Picture());
    PlaceCreatedControl(FDial, 95, 412, 120, 120);
}

TfmModule::~TfmModule()
{
    delete FLED.data();
    FLED = nullptr;
    delete FDial.data();
    FDial = nullptr;
}

void TfmModule::AddObjects()
{
    ScriptAddObject(this, QStringLiteral("Screen"));
    // A control the engine could not make is left out rather than added as
    // nothing.
    if (FLED)
        ScriptAddObject(FLED, QStringLiteral("LED"));
    if (FDial)
        ScriptAddObject(FDial, QStringLiteral("Dial"));
    ScriptAddObject(lbDial, QStringLiteral("Label"));
}

void TfmModule::FormShow()
{
    SendSourceCode(moSrc);
}

void TfmModule::resizeEvent(QResizeEvent *AEvent)
{
    TModuleBase::resizeEvent(AEvent);
    if (Image1)
        Image1->setGeometry(rect());
}

KB_MODULE_ENTRY(TfmModule)
