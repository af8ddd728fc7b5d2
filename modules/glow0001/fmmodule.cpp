#include "fmmodule.h"

#include "moduleentry.h"

namespace {

const QStringList LessonProgram = {
    QStringLiteral("// Run 버턴을 클릭하면 한 번만 실행 됩니다."),
    QStringLiteral("function setup() {"),
    QStringLiteral("  LED.minus = pin(GND);"),
    QStringLiteral("  LED.plus  = pin(13);"),
    QStringLiteral("}"),
    QString(),
    QStringLiteral("// Run 버턴을 클릭하면 setup() 실행 이후 계속 반복 실행 됩니다."),
    QStringLiteral("function loop() {"),
    QStringLiteral("  // 13번 핀에 전기를 공급합니다.  결과적으로 LED에 불이 들어 옵니다."),
    QStringLiteral("  digitalWrite(13, HIGH);"),
    QString(),
    QStringLiteral("  // 1초 동안 기다립니다."),
    QStringLiteral("  delay(1000);"),
    QString(),
    QStringLiteral("  // 13번 핀에 전기 공급을 중단합니다.  결과적으로 LED에 불이 꺼집니다."),
    QStringLiteral("  digitalWrite(13, LOW);"),
    QString(),
    QStringLiteral("  // 1초 동안 기다립니다."),
    QStringLiteral("  delay(1000);"),
    QStringLiteral("}"),
};

} // namespace

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
    moSrc->setPlainText(LessonProgram.join(QLatin1Char('\n')));
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
