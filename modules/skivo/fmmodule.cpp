#include "fmmodule.h"

#include "moduleentry.h"
#include "wavelist.h"
#include "xibutton.h"

#include <QFile>
#include <QIcon>
#include <QResizeEvent>

TfmModule *fmModule = nullptr;

namespace {

QImage Picture(const char *AName)
{
    return QImage(QStringLiteral(":/skivo/%1").arg(QLatin1String(AName)));
}

TImageList *NewImageList(QObject *AOwner, const char *AName, int AWidth, int AHeight, const char *APicture)
{
    auto *list = new TImageList(AWidth, AHeight, AOwner);
    list->setObjectName(QLatin1String(AName));
    list->Add(Picture(APicture));
    return list;
}

QByteArray Resource(const QString &APath)
{
    QFile file(APath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TScreen::TScreen(QWidget *AOwner)
    : QWidget(AOwner)
{
    // Opaque: the background picture covers every pixel, so nothing is
    // painted under it.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

TfmModule::TfmModule(QObject *AOwner)
    : TModuleBase(AOwner)
{
    // A fixed dialog frame: no minimise or maximise box, no resizing.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Skivo"));
    SetColor(0xFFFFFF);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    setFont(font);
    setWindowIcon(QIcon(QStringLiteral(":/skivo/icon.png")));
    resize(KFieldWidth, 41 + KFieldHeight);

    imgBackground = new TImage(this);
    imgBackground->setObjectName(QStringLiteral("imgBackground"));
    // In the format the screen is drawn in, so that a paint only copies.
    imgBackground->SetPicture(Picture("background.png").convertToFormat(QImage::Format_ARGB32_Premultiplied));
    imgBackground->setGeometry(-240, 0, 720, 320);
    imgBackground->setAttribute(Qt::WA_OpaquePaintEvent);

    plTop = new QWidget(this);
    plTop->setObjectName(QStringLiteral("plTop"));
    plTop->setGeometry(0, 0, width(), 41);
    plTop->setAutoFillBackground(true);
    QPalette face = plTop->palette();
    face.setColor(QPalette::Window, QColor(0xF0, 0xF0, 0xF0));
    plTop->setPalette(face);

    btRun = NewToolBarButton(plTop, QStringLiteral("btRun"), QStringLiteral("Run"), 8, 9, false);
    connect(btRun, &TXiButton::OnClick, this, &TfmModule::btRunClick);
    btStop = NewToolBarButton(plTop, QStringLiteral("btStop"), QStringLiteral("Stop"), 89, 8, false);
    connect(btStop, &TXiButton::OnClick, this, &TfmModule::btStopClick);

    moSrc = new QPlainTextEdit(this);
    moSrc->setObjectName(QStringLiteral("moSrc"));
    moSrc->setLineWrapMode(QPlainTextEdit::NoWrap);
    moSrc->setPlainText(QString::fromUtf8(Resource(QStringLiteral(":/skivo/program.js"))));
    moSrc->hide();

    ImageListAsteroid = NewImageList(this, "ImageListAsteroid", 64, 64, "asteroid.png");
    ImageListShip = NewImageList(this, "ImageListShip", 122, 65, "ship.png");
    ImageListMissile = NewImageList(this, "ImageListMissile", 27, 12, "missile.png");
    ImageListExplod = NewImageList(this, "ImageListExplod", 64, 64, "explode.png");

    // Made while the window is made; without a sound device both sounds
    // stay silent and nothing is reported.
    DXSound = new TDXSound(this);
    DXWaveList = new TDXWaveList(this);
    DXWaveList->SetDXSound(DXSound);
    for (const QString &name : {QStringLiteral("fire.wav"), QStringLiteral("boom.wav")}) {
        TDXWaveListItem *item = DXWaveList->AddFromFile(name, QStringLiteral(":/skivo/") + name);
        // Once per call, over any play still sounding.
        item->SetLooped(false);
        item->SetMaxPlayingCount(0);
    }

    fmModule = this;

    FFrameTimer = new QTimer(this);
    FFrameTimer->setSingleShot(true);
    FFrameTimer->setTimerType(Qt::PreciseTimer);
    connect(FFrameTimer, &QTimer::timeout, this,
            [this] { QCoreApplication::postEvent(this, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority); });

    FScreen = new TScreen(this);
    FScreen->setObjectName(QStringLiteral("Screen"));
    FScreen->setGeometry(0, 41, KFieldWidth, KFieldHeight);
    imgBackground->setParent(FScreen);
    imgBackground->setGeometry(-240, 0, 720, 320);
    imgBackground->show();

    FShip = new TSprite(this);
    FShip->setObjectName(QStringLiteral("Ship"));
    FShip->SetImageList(ImageListShip);
    FShip->SetParent(FScreen);
    FShip->SetHitArea({40, 11, 110, 55});

    FMissile = new TSprite(this);
    FMissile->setObjectName(QStringLiteral("Missile"));
    FMissile->SetImageList(ImageListMissile);
    FMissile->SetParent(FScreen);
    FMissile->SetHitArea({8, 2, 23, 8});

    FAsteroids = new TAsteroids(this);
    FAsteroids->setObjectName(QStringLiteral("Asteroids"));
    FAsteroids->SetImageList(ImageListAsteroid);
    FAsteroids->SetImageListExplode(ImageListExplod);
    FAsteroids->SetParent(FScreen);
}

TfmModule::~TfmModule()
{
    // What the engine still holds of these reads as gone once they are freed.
    delete FShip;
    FShip = nullptr;
    delete FMissile;
    FMissile = nullptr;
    delete FAsteroids;
    FAsteroids = nullptr;
    delete FScreen;
    FScreen = nullptr;
    if (fmModule == this)
        fmModule = nullptr;
}

bool TfmModule::event(QEvent *AEvent)
{
    if (AEvent->type() == QEvent::UpdateRequest) {
        // Too soon after the last paint: the frame timer asks again, and the
        // paint then takes in every change made meanwhile.
        const qint64 since = FLastFrame.isValid() ? FLastFrame.elapsed() : KFrameMs;
        if (since < KFrameMs) {
            if (!FFrameTimer->isActive())
                FFrameTimer->start(int(KFrameMs - since));
            return true;
        }
        FLastFrame.start();
    }
    return TModuleBase::event(AEvent);
}

void TfmModule::resizeEvent(QResizeEvent *AEvent)
{
    TModuleBase::resizeEvent(AEvent);
    // The strip along the top, the play field in the rest of the client area.
    if (plTop)
        plTop->setGeometry(0, 0, width(), plTop->height());
    if (FScreen)
        FScreen->setGeometry(0, plTop->height(), width(), qMax(0, height() - plTop->height()));
}

void TfmModule::FormShow()
{
    // This size wins over a stored one; the stored position still applies.
    setWindowState(windowState() & ~(Qt::WindowMaximized | Qt::WindowFullScreen));
    setFixedSize(KFieldWidth, plTop->height() + KFieldHeight);
    SendSourceCode(moSrc);
}

void TfmModule::btRunClick()
{
    // Unlike the host's Run, this leaves the message pane as it is.
    Start(GCore ? GCore->GetSouceCode() : QString());
}

void TfmModule::btStopClick()
{
    Stop();
}

void TfmModule::AddObjects()
{
    ScriptHost().AddGlobalFunctions(&TJSGlobalFunctions::staticMetaObject);
    ScriptAddObject(this, QStringLiteral("Form"));
    ScriptAddObject(FScreen, QStringLiteral("Screen"));
    ScriptAddObject(FShip, QStringLiteral("Ship"));
    ScriptAddObject(FMissile, QStringLiteral("Missile"));
    ScriptAddObject(FAsteroids, QStringLiteral("Asteroids"));
}

void TfmModule::PlayWave(int AIndex)
{
    if (TDXWaveListItem *item = DXWaveList->Items(AIndex))
        item->Play(false);
}

void TJSGlobalFunctions::soundFire()
{
    if (fmModule)
        fmModule->PlayWave(0);
}

void TJSGlobalFunctions::soundBoom()
{
    if (fmModule)
        fmModule->PlayWave(1);
}

KB_MODULE_ENTRY(TfmModule)
