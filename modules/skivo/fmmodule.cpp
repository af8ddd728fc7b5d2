#include "fmmodule.h"

#include "moduleentry.h"
#include "wavelist.h"
#include "xibutton.h"

#include <QIcon>
#include <QScreen>
#include <QVBoxLayout>

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

} // namespace

TScreen::TScreen(QWidget *AOwner)
    : TPanel(AOwner)
{
    // Filled with its own colour, and so opaque to the form under it. Qt
    // fills only what its opaque children leave bare: nothing where the
    // background picture lies, and beyond it what would otherwise keep the
    // last frame's sprites.
    setAutoFillBackground(true);
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
    resize(KFieldWidth, KStripHeight + KFieldHeight);

    imgBackground = new TImage(this);
    imgBackground->setObjectName(QStringLiteral("imgBackground"));
    // In the format the screen is drawn in, so that a paint only copies.
    imgBackground->SetPicture(Picture("background.png").convertToFormat(QImage::Format_ARGB32_Premultiplied));
    imgBackground->setAttribute(Qt::WA_OpaquePaintEvent);

    plTop = new QWidget(this);
    plTop->setObjectName(QStringLiteral("plTop"));
    plTop->setFixedHeight(KStripHeight);
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
    moSrc->setPlainText(LessonProgramText(QStringLiteral(":/skivo/program.js")));
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
    // Each plays once per call, over any play still sounding.
    for (const char *name : {"fire.wav", "boom.wav"})
        DXWaveList->AddFromFile(QStringLiteral(":/skivo/") + QLatin1String(name));

    fmModule = this;

    FFrameTimer = new QTimer(this);
    FFrameTimer->setSingleShot(true);
    FFrameTimer->setTimerType(Qt::PreciseTimer);
    connect(FFrameTimer, &QTimer::timeout, this, &TfmModule::PaintFrame);

    FScreen = new TScreen(this);
    FScreen->setObjectName(QStringLiteral("Screen"));
    imgBackground->setParent(FScreen);
    imgBackground->setGeometry(-240, 0, 720, 320);
    imgBackground->show();

    // The strip along the top, the play field in the rest of the client area.
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(plTop);
    layout->addWidget(FScreen, 1);

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

qint64 TfmModule::FrameNs() const
{
    const QScreen *screen = this->screen();
    const qreal rate = screen ? screen->refreshRate() : 0;
    return qint64(1e9 / (rate >= 1 ? rate : 60));
}

bool TfmModule::event(QEvent *AEvent)
{
    if (AEvent->type() == QEvent::UpdateRequest) {
        // Qt posts an update request as soon as anything is dirtied, and
        // takes no other until a paint has run. One that comes within a frame
        // of the last paint waits for the frame timer, whose paint takes in
        // every change made meanwhile.
        const qint64 left = FLastPaint.isValid() && !FFrameDue ? FrameNs() - FLastPaint.nsecsElapsed() : 0;
        if (left > 0) {
            if (!FFrameTimer->isActive())
                FFrameTimer->start(int((left + 999999) / 1000000));
            return true;
        }
        FLastPaint.start();
        FFrameTimer->stop();
    }
    return TModuleBase::event(AEvent);
}

void TfmModule::PaintFrame()
{
    // A repaint sends its update request at once, and the paint it starts
    // syncs every dirty region, not only this pixel.
    FFrameDue = true;
    repaint(0, 0, 1, 1);
    FFrameDue = false;
}

void TfmModule::FormShow()
{
    // This size wins over a stored one; the stored position still applies.
    setWindowState(windowState() & ~(Qt::WindowMaximized | Qt::WindowFullScreen));
    setFixedSize(KFieldWidth, KStripHeight + KFieldHeight);
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
    // Never waits: the clip plays on while the program goes on.
    if (TDXWaveListItem *item = DXWaveList->Items(AIndex))
        item->Play();
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
