#include "fmmodule.h"

#include "moduleentry.h"

TfmModule::TfmModule(QObject *AOwner)
    : TModuleBase(AOwner)
{
    InitForm(QStringLiteral("Glow0001 - Blinking a LED"));

    Image1 = new TImage(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 358, 401);
    Image1->SetPicture(QImage(QStringLiteral(":/glow0001/board.png")));

    // Marks the LED's place; never shown.
    Shape1 = new TShape(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setGeometry(136, 374, 32, 32);
    Shape1->SetBrushColor(Qt::red);
    Shape1->hide();

    moSrc = new QPlainTextEdit(this);
    moSrc->setObjectName(QStringLiteral("moSrc"));
    moSrc->setLineWrapMode(QPlainTextEdit::NoWrap);
    moSrc->setPlainText(LessonProgramText(QStringLiteral(":/glow0001/program.js")));
    moSrc->hide();

    FLED = ScriptCreateObject(this, QStringLiteral("TLED"), QStringLiteral("Color=red"), nullptr);
    PlaceCreatedControl(FLED, 136, 374, 32, 32);
}

TfmModule::~TfmModule()
{
    delete FLED.data();
    FLED = nullptr;
}

void TfmModule::AddObjects()
{
    ScriptAddObject(this, QStringLiteral("Screen"));
    // A lesson whose LED the engine could not make runs without it.
    if (FLED)
        ScriptAddObject(FLED, QStringLiteral("LED"));
}

void TfmModule::FormShow()
{
    SendSourceCode(moSrc);
}

KB_MODULE_ENTRY(TfmModule)
