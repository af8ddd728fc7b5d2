#include "fmmodule.h"

#include "moduleentry.h"

#include <QResizeEvent>

namespace {

const QStringList LessonProgram = {
    QStringLiteral("// Run 버턴을 클릭하면 한 번만 실행 됩니다."),
    QStringLiteral("function setup() {"),
    QStringLiteral("  LED.minus = pin(GND);"),
    QStringLiteral("  LED.plus  = pin(13);"),
    QString(),
    QStringLiteral("  Dial.Position = 50;"),
    QStringLiteral("}"),
    QString(),
    QStringLiteral("// Run 버턴을 클릭하면 setup() 실행 이후 계속 반복 실행 됩니다."),
    QStringLiteral("function loop() {"),
    QStringLiteral("  // 다이얼은 0부터 100까지 변합니다.  여기에 10을 곱하면 0부터 1초까지 변하게 됩니다. "),
    QStringLiteral("  var p = Dial.Position * 10;"),
    QStringLiteral("  "),
    QStringLiteral("  // 현재 p의 값을 표기합니다."),
    QStringLiteral("  Label.Caption = p.toString(); "),
    QString(),
    QStringLiteral("  // 13번 핀에 전기를 공급합니다.  결과적으로 LED에 불이 들어 옵니다."),
    QStringLiteral("  digitalWrite(13, HIGH);"),
    QString(),
    QStringLiteral("  // 다이얼이 가르치는 숫자만큼 기다립니다."),
    QStringLiteral("  delay(p);"),
    QString(),
    QStringLiteral("  // 13번 핀에 전기 공급을 중단합니다.  결과적으로 LED에 불이 꺼집니다."),
    QStringLiteral("  digitalWrite(13, LOW);"),
    QString(),
    QStringLiteral("  // 다이얼이 가르치는 숫자만큼 기다립니다."),
    QStringLiteral("  delay(p);"),
    QStringLiteral("}"),
};

} // namespace

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
    moSrc->setPlainText(LessonProgram.join(QLatin1Char('\n')));
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
