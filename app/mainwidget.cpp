#include "mainwidget.h"
#include "camview.h"
#include "mdsize.h"
#include "cutterjobs.h"
#include "cuttersession.h"
#include "devicelist.h"
#include "jobrunner.h"
#include "lineview.h"
#include "matrixplaces.h"
#include "mylineedit.h"
#include "preview.h"
#include "release.h"
#include "triggerkeys.h"
#include "usbdevices.h"
#include "ui_mainwidget.h"
#include "version.h"
#include "workmodes.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTime>
#include <QTimer>
#include <QTranslator>
#include <cstdlib>

// The icons and the translation are linked in from the resources library;
// registering them here, before main runs, also makes the linker keep them.
static int registerResourceBundle()
{
    Q_INIT_RESOURCE(cutterdesk);
    return 0;
}
[[maybe_unused]] static const int resourceBundleRegistered = registerResourceBundle();

static void setMatrixSpacingVisible(Ui::MainWidget *ui, bool horizontal, bool vertical)
{
    ui->matSpHLB->setVisible(horizontal);
    ui->matSpH->setVisible(horizontal);
    ui->matSpHmm->setVisible(horizontal);
    ui->matSpVLB->setVisible(vertical);
    ui->matSpV->setVisible(vertical);
    ui->matSpVmm->setVisible(vertical);
}

MainWidget::MainWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::MainWidget)
{
    // The form connects the on_<object>_<signal> slots by name as its last
    // step, so loading "RJ45" below already runs on_devType_currentTextChanged.
    ui->setupUi(this);
    ui->stateText->setLines(3); // a run's progress: what it does, then its time
    ui->deviceIP->hide();
    resize(1024, 768);
    installTranslation();
    loadSettings();
    initModeTable();
    showMode();
    showReleaseDate();
    pltSolve = new PltSolve(this);
    connectPreview();
    connectMatrix();
    setUpJobs();
    setUpUsbLink();
    setUpCamSocket();
    acceptPlotFileDrops();
}

MainWidget::~MainWidget()
{
    delete jobRunner;
    delete session; // ends what runs before the widgets it reports to go
    delete ui;
    delete pltSolve;
}

namespace {
QString &languageOverride()
{
    static QString language;
    return language;
}
} // namespace

void MainWidget::setLanguageOverride(const QString &language)
{
    languageOverride() = language;
}

QString MainWidget::uiLanguage(const QString &choice, const QStringList &systemLanguages)
{
    if (choice == QLatin1String("zh") || choice == QLatin1String("en"))
        return choice;
    const bool chinese = !systemLanguages.isEmpty() && systemLanguages.first().startsWith(QLatin1String("zh"));
    return chinese ? QStringLiteral("zh") : QStringLiteral("en");
}

// The program's Chinese catalogue, and Qt's own for the file dialog and the
// message boxes' buttons; English needs none (the source texts). Installed
// for the whole run, replaced when another window picks another language.
void MainWidget::installTranslation()
{
    m_languageChoice = QSettings(settingsPath(), QSettings::IniFormat)
                           .value(QStringLiteral("UI/language"), QStringLiteral("auto"))
                           .toString();
    const QString choice = languageOverride().isEmpty() ? m_languageChoice : languageOverride();
    m_language = uiLanguage(choice, QLocale::system().uiLanguages());
    static QTranslator *own = nullptr;
    static QTranslator *qt = nullptr;
    for (QTranslator **t : {&own, &qt}) {
        if (*t)
            QCoreApplication::removeTranslator(*t);
        delete *t;
        *t = nullptr;
    }
    if (m_language == QLatin1String("zh")) {
        own = new QTranslator;
        if (own->load(QStringLiteral(":/Chinese.qm")))
            QCoreApplication::installTranslator(own);
        else
            qWarning() << "The Chinese translation could not be loaded";
        qt = new QTranslator;
        if (qt->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(qt);
        else
            qWarning() << "Qt's Chinese translation (qtbase_zh_CN.qm) was not found: dialog buttons stay English";
    }
    ui->retranslateUi(this);
}

void MainWidget::showReleaseDate()
{
    const QString version = tr("Version %1").arg(QLatin1String(cutterdeskVersion())).toHtmlEscaped();
    ui->versionLB->setTextFormat(Qt::RichText);
    ui->versionLB->setText(version + QStringLiteral("&nbsp;&nbsp;&nbsp;")
                           + releaseDateLink(releaseDateStamp(QLatin1String(cutterdeskBuildDate()))));
}

// Why a plot file cannot be opened, in the operator's words; empty when it can.
static QString plotFileProblem(const QString &path, QString *detail)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (!info.exists()) {
        *detail = QStringLiteral("no such file");
        return MainWidget::tr("The plot file %1 does not exist.").arg(name);
    }
    if (info.isDir()) {
        *detail = QStringLiteral("a folder");
        return MainWidget::tr("%1 is a folder, not a plot file.").arg(name);
    }
    if (!info.isFile()) { // a pipe or device: opening it may wait for ever
        *detail = QStringLiteral("not a regular file");
        return MainWidget::tr("%1 is not a regular file, not a plot file.").arg(name);
    }
    if (info.size() > PltSolve::kMaxFileBytes) {
        *detail = QStringLiteral("%1 bytes").arg(info.size());
        return MainWidget::tr("%1 is too large to be a plot file (%2 MB).")
            .arg(name)
            .arg(PltSolve::megabytes(info.size()));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *detail = file.errorString();
        return MainWidget::tr("The plot file %1 cannot be read.").arg(name);
    }
    return {};
}

void MainWidget::openPlotFile(const QString &path)
{
    // Shown even when it cannot be read, so that Start does not cut the
    // file that happened to be chosen before.
    ui->filePath->setText(path); // textChanged refreshes the preview
    QString detail;
    const QString problem = plotFileProblem(path, &detail);
    if (problem.isEmpty())
        return;
    showResult(problem, true);
    qWarning().noquote() << "Cannot open the plot file" << path << "named on the command line:" << detail;
}

// Every other field that takes drops (text) lets a plot file through to the
// window; the path field has its own drop.
void MainWidget::acceptPlotFileDrops()
{
    setAcceptDrops(true);
    const QList<QWidget *> children = findChildren<QWidget *>();
    for (QWidget *child : children) {
        if (child != ui->filePath && child->acceptDrops())
            child->installEventFilter(this);
    }
}

// Handles a drag or drop that carries a plot file: taken for the path field,
// or refused while a job holds that field (no other field gets it as text
// then either). False for any other event.
bool MainWidget::takePlotFileDrop(QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return false;
    auto *drop = static_cast<QDropEvent *>(event); // the base of the drag events
    const QString path = droppedPlotFile(*drop->mimeData());
    if (path.isEmpty())
        return false;
    if (!ui->filePath->isEnabled()) {
        drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    if (type == QEvent::Drop)
        ui->filePath->setText(path);
    return true;
}

bool MainWidget::eventFilter(QObject *watched, QEvent *event)
{
    return takePlotFileDrop(event) || QWidget::eventFilter(watched, event);
}

void MainWidget::dragEnterEvent(QDragEnterEvent *event)
{
    takePlotFileDrop(event);
}

void MainWidget::dragMoveEvent(QDragMoveEvent *event)
{
    takePlotFileDrop(event);
}

void MainWidget::dropEvent(QDropEvent *event)
{
    takePlotFileDrop(event);
}

void MainWidget::connectPreview()
{
    const auto refresh = [this] { on_lineView_configChanged(); };
    connect(ui->filePath, &QLineEdit::textChanged, this, refresh);
    connect(ui->knifeOffsetChx, &QCheckBox::stateChanged, this, refresh);
    connect(ui->knifeOffset, qOverload<double>(&QDoubleSpinBox::valueChanged), this, refresh);
    connect(ui->closeOffsetChx, &QCheckBox::stateChanged, this, refresh);
    connect(ui->closeOffset, qOverload<double>(&QDoubleSpinBox::valueChanged), this, refresh);
    connect(ui->rotate, &QCheckBox::stateChanged, this, refresh);
    connectPreviewSwitches();
    on_lineView_configChanged(); // preview the remembered plot file
    // A chosen or dropped file is described once the path stops changing.
    describeTimer = new QTimer(this);
    describeTimer->setSingleShot(true);
    describeTimer->setInterval(kDescribeDelayMs);
    connect(describeTimer, &QTimer::timeout, this, &MainWidget::describePlotFile);
    connect(ui->filePath, &QLineEdit::textChanged, describeTimer, qOverload<>(&QTimer::start));
    // The remembered file, once the window is up, unless the result line
    // already says what was wrong with the settings.
    if (!ui->filePath->text().isEmpty() && ui->resultText->text().isEmpty())
        describeTimer->start();
}

// The switches, and what they show: the order the job's link cuts in, the
// matrix places and their gaps.
void MainWidget::connectPreviewSwitches()
{
    const auto refresh = [this] { on_lineView_configChanged(); };
    for (QCheckBox *box : {ui->cutOrder, ui->matrixPlaces})
        connect(box, &QCheckBox::toggled, this, refresh);
    for (QRadioButton *choice : {ui->matOne, ui->matTwo, ui->matFour})
        connect(choice, &QRadioButton::toggled, this, [=](bool on) { if (on) refresh(); });
    for (QDoubleSpinBox *gap : {ui->matSpH, ui->matSpV})
        connect(gap, qOverload<double>(&QDoubleSpinBox::valueChanged), this, refresh);
    connect(ui->devType, &QComboBox::currentTextChanged, this, refresh);
    for (QPushButton *step : {ui->prevMode, ui->nextMode}) // after the mode has changed
        connect(step, &QPushButton::clicked, this, refresh);
}

void MainWidget::connectMatrix()
{
    for (QRadioButton *choice : {ui->matOne, ui->matTwo, ui->matFour})
        connect(choice, &QRadioButton::clicked, this, [this] { on_matrix_configChanged(); });
    on_matrix_configChanged();
}

void MainWidget::setUpUsbLink()
{
    // The watcher comes first so that no cutter plugged in during the first
    // scan is missed.
    usbWatcher = new UsbHotplugWatcher(this);
    connect(usbWatcher, &UsbHotplugWatcher::devicesChanged, this, &MainWidget::refreshDeviceList);
    // An origin command, the calibration or the camera set-up found the
    // cutter held by another program (a job says so when it ends).
    connect(session, &CutterSession::cutterInUse, this, [this] { ui->stateText->setText(cutterInUseText()); });
    refreshDeviceList();
}

void MainWidget::refreshDeviceList()
{
    // A job and the camera set-up hold Connect; their ends set it.
    const CutterSession::Action action = session->current();
    const bool held = action == CutterSession::Action::Job || action == CutterSession::Action::CameraSetup;
    ::refreshDeviceList(ui->device, held ? nullptr : ui->connectBtn, ui->devType->currentText(),
                        session->usbDevices());
}

void MainWidget::setUpCamSocket()
{
    camSocket = new QTcpSocket(this);
    connect(camSocket, &QTcpSocket::readyRead, this, &MainWidget::on_socket_read,
            Qt::QueuedConnection);
    connect(camSocket, &QTcpSocket::disconnected, this, &MainWidget::on_socket_disconnected,
            Qt::QueuedConnection);
}

void MainWidget::setUpJobs()
{
    session = new CutterSession(*this, this);
    jobRunner = new JobRunner({ui->startBtn, ui->connectBtn, ui->devType, ui->prevMode, ui->nextMode,
                               ui->filePath, ui->setFilePath, ui->device, ui->stateText},
                              *session);
    connect(session, &CutterSession::originStored, this, [this](QPoint at) {
        originX = at.x();
        originY = at.y();
    });
    connect(session, &CutterSession::cameraFound, this, &MainWidget::showCameraAt);
    connect(session, &CutterSession::finished, this, [this](CutterSession::Action action) {
        if (action == CutterSession::Action::CameraSetup)
            enableConnect(ui->connectBtn, ui->devType->currentText(), ui->device);
    });
}

// An action that talks to the cutter could not start: another one is using it.
void MainWidget::refuseBusy(const QString &action)
{
    ui->stateText->setText(cutterBusyText());
    qWarning().noquote() << action << "refused: another action is using the cutter";
}

void MainWidget::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange)
        TriggerKeys::setWindowActive(isActiveWindow());
    QWidget::changeEvent(event);
}

void MainWidget::closeEvent(QCloseEvent *)
{
    // What runs is let go at once: nothing more goes to the cutter.
    delete jobRunner;
    jobRunner = nullptr;
    delete session;
    session = nullptr;
    saveSettings();
    camSocket->close();
    std::exit(0);
}

// --- Work modes ---

void MainWidget::initModeTable()
{
    for (const WorkMode &mode : kWorkModes) {
        modeNames.append(tr(mode.title));
        modeTips.append(tr(mode.tip));
    }
    if (modeNames.size() != modeTips.size())
        std::exit(-1);
}

void MainWidget::showMode()
{
    ui->mode->setText(modeNames.at(workIndex));
    ui->mode->setToolTip(modeTips.at(workIndex));
    updateModeWidgets();
}

void MainWidget::updateModeWidgets()
{
    if (workIndex < 0 || workIndex >= int(kWorkModes.size()))
        return;
    const WorkMode &mode = kWorkModes[size_t(workIndex)];
    ui->MatGrp->setVisible(mode.showsMatrix);
    ui->FeedGrp->setVisible(mode.showsFeed);
    ui->countLB->setVisible(mode.showsFeed);
    ui->count->setVisible(mode.showsFeed);
    if (!mode.showsFeed)
        return; // the hidden feed group keeps its fields as they are
    ui->ejectDistLB->setVisible(mode.showsEject);
    ui->ejectDist->setVisible(mode.showsEject);
    ui->ejectDistmm->setVisible(mode.showsEject);
    ui->smartScan->setVisible(mode.showsSmartScan);
}

void MainWidget::on_prevMode_clicked()
{
    if (workIndex > 0) {
        --workIndex;
        showMode();
    }
}

void MainWidget::on_nextMode_clicked()
{
    if (workIndex < modeNames.size() - 1) {
        ++workIndex;
        showMode();
    }
}

// --- Options ---

void MainWidget::on_devType_currentTextChanged(const QString &arg1)
{
    if (arg1 == QLatin1String("USB")) {
        // The device box itself is not refilled here. The link does not exist
        // yet when the stored settings switch the box during construction.
        ui->connectBtn->setEnabled(session && !session->usbDevices().isEmpty());
        ui->device->show();
        ui->deviceIP->hide();
    } else if (arg1 == QLatin1String("RJ45")) {
        ui->connectBtn->setEnabled(true);
        ui->device->hide();
        ui->deviceIP->show();
    }
}

// The folder of the current plot file while it exists, else the user's
// documents folder (or home, where there is none).
static QString plotDialogFolder(const QString &plotFile)
{
    if (!plotFile.isEmpty()) {
        const QDir folder = QFileInfo(plotFile).absoluteDir();
        if (folder.exists())
            return folder.path();
    }
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir(documents).exists() ? documents : QDir::homePath();
}

void MainWidget::on_setFilePath_clicked()
{
    const QString filters = tr("Plot files (*.plt *.hpgl *.hpg)") + QStringLiteral(";;") + tr("All files (*)");
    const QString path = QFileDialog::getOpenFileName(this, tr("Select a File."),
                                                      plotDialogFolder(ui->filePath->text()), filters);
    if (!path.isEmpty())
        ui->filePath->setText(path); // textChanged refreshes the preview
}

// Whether the mode's sheets, over the link devType chooses, are cut inner shapes first.
static bool ordersInnerFirst(int mode, const QString &devType)
{
    const WorkMode *row = workMode(mode);
    const bool network = row && jobLinkFor(*row, devType) == JobLink::Network;
    return row && sheetOptionsFor(*row, network ? SheetLink::Network : SheetLink::Usb).orderInnerFirst;
}

void MainWidget::on_lineView_configChanged()
{
    RouteOptions route;
    route.knifeOffsetOn = ui->knifeOffsetChx->isChecked();
    route.knifeOffsetMm = ui->knifeOffset->value();
    route.closeOffsetOn = ui->closeOffsetChx->isChecked();
    route.closeOffsetMm = ui->closeOffset->value();
    // Only the cut order needs the job's order; the plain preview keeps the file's.
    const bool innerFirst = ui->cutOrder->isChecked() && ordersInnerFirst(workIndex, ui->devType->currentText());
    ui->lineView->paths = previewSource.paths(*pltSolve, ui->filePath->text(), ui->rotate->isChecked(),
                                              route, unitsPerMm, innerFirst);
    showPreviewSwitches();
    // The illustrations follow the offset fields also while no plot file is chosen.
    showRouteOptions(*ui->cutview, *ui->knifeview, route);
    repaint();
}

// Matrix places only in the matrix modes, and only for a design with an MD size.
void MainWidget::showPreviewSwitches()
{
    const WorkMode *mode = workMode(workIndex);
    const bool matrix = mode && mode->procedure == Procedure::Matrix;
    ui->matrixPlaces->setEnabled(matrix);
    ui->lineView->cutOrder = ui->cutOrder->isChecked();
    const QSize design = previewSource.designSize();
    ui->lineView->placeOffsets = matrix && ui->matrixPlaces->isChecked() && !design.isEmpty()
        ? matrixPlaces(jobSettings().matrix, design, ui->matSpH->value(), ui->matSpV->value()).mid(1)
        : QVector<QPointF>();
}

void MainWidget::on_matrix_configChanged()
{
    if (ui->matOne->isChecked())
        setMatrixSpacingVisible(ui, false, false);
    if (ui->matTwo->isChecked())
        setMatrixSpacingVisible(ui, true, false);
    if (ui->matFour->isChecked())
        setMatrixSpacingVisible(ui, true, true);
}

// --- Wireless camera ---

// The link chosen by devType; nothing for any other text.
static std::optional<JobLink> chosenLink(const QString &devType)
{
    if (devType == QLatin1String("USB"))
        return JobLink::Usb;
    if (devType == QLatin1String("RJ45"))
        return JobLink::Network;
    return std::nullopt;
}


static constexpr quint16 kCameraPort = 5000;
static constexpr int kCameraConnectMs = 3000;

void MainWidget::on_connectBtn_clicked()
{
    // Camera set-up: the cutter passes the SSID and pass phrase on to the
    // camera and answers with the camera's address.
    if (ui->ssid->text().isEmpty()) {
        showResult(tr("Camera set-up: the Wi-Fi name is empty"), true);
        return;
    }
    const std::optional<JobLink> link = chosenLink(ui->devType->currentText());
    if (!link)
        return;
    if (!session->cameraSetup(*link, ui->ssid->text(), ui->passwd->text())) {
        refuseBusy(QStringLiteral("Camera set-up"));
        return;
    }
    ui->connectBtn->setEnabled(false); // until the set-up has ended
}

// The set-up found the camera: show it from its new address.
void MainWidget::showCameraAt(const QString &address)
{
    ui->ipAddr->setText(address);
    // One attempt: a camera that does not answer keeps the window 3 s.
    if (ui->startCamBtn->text() != tr("Start"))
        stopCamera();
    on_startCamBtn_clicked();
}

void MainWidget::on_startCamBtn_clicked()
{
    if (ui->startCamBtn->text() != tr("Start")) {
        stopCamera();
        return;
    }
    const QString address = ui->ipAddr->text();
    if (!isValidIp(address)) {
        ui->startCamBtn->setEnabled(true);
        showResult(tr("Camera: the address \"%1\" is not valid").arg(address), true);
        return;
    }
    ui->startCamBtn->setEnabled(false);
    ui->startCamBtn->repaint();
    camSocket->abort();
    camStream.reset(); // a new stream starts with no partial frame or marker
    cameraAddress = address;
    cameraSentTooLarge = false;
    camSocket->connectToHost(address, kCameraPort, QIODevice::ReadWrite,
                             QAbstractSocket::AnyIPProtocol);
    if (camSocket->waitForConnected(kCameraConnectMs)) {
        ui->startCamBtn->setText(tr("Stop"));
        showResult(tr("Camera: showing %1").arg(address), false);
    } else {
        showResult(tr("Camera: %1 port %2 did not answer within %3 s (%4)")
                       .arg(address)
                       .arg(kCameraPort)
                       .arg(kCameraConnectMs / 1000)
                       .arg(camSocket->errorString()),
                   true);
    }
    ui->startCamBtn->setEnabled(true);
}

void MainWidget::stopCamera()
{
    camSocket->disconnectFromHost();
    // Frames already received are not shown once the view is blank.
    camSocket->readAll();
    camStream.reset();
    ui->startCamBtn->setText(tr("Start"));
    ui->camView->resetImage();
}

void MainWidget::on_socket_read()
{
    // Only the newest frame of a read is shown: the ones before it would be
    // replaced before anyone saw them.
    QByteArray newest;
    camStream.feed(camSocket->readAll(), [&newest](const QByteArray &jpeg) { newest = jpeg; });
    if (newest.isEmpty())
        return;
    const CamView::Load load = ui->camView->loadFrame(reinterpret_cast<const uchar *>(newest.constData()),
                                                      newest.size());
    if (load == CamView::Load::TooLarge && !cameraSentTooLarge) {
        cameraSentTooLarge = true; // said once a stream: the camera may send it at every frame
        showResult(tr("Camera: %1 sent a picture too large to show (over %2 × %2 pixels)")
                       .arg(cameraAddress)
                       .arg(CamView::kMaxFrameSide),
                   true);
    }
}

void MainWidget::on_socket_disconnected()
{
    // The notice is queued: by the time it arrives the camera may have been
    // started again, and a live connection keeps its "Stop".
    if (camSocket->state() == QAbstractSocket::ConnectedState)
        return;
    // The operator's Stop has turned the button back already.
    if (ui->startCamBtn->text() != tr("Start"))
        showResult(tr("Camera: %1 closed the stream").arg(cameraAddress), true);
    ui->startCamBtn->setText(tr("Start"));
    camStream.inFrame = false;
}

void MainWidget::on_enSeeK_clicked()
{
    CamView *view = ui->camView;
    view->seek = !view->seek;
    ui->enSeeK->setText(view->seek ? tr("DeSeek") : tr("EnSeek"));
}

// --- Carriage and jobs ---

void MainWidget::on_autoCalibrate_clicked()
{
    const auto link = chosenLink(ui->devType->currentText());
    if (link && !session->autoAdjust(*link))
        refuseBusy(QStringLiteral("Auto-Adjust"));
}

void MainWidget::on_setOrigin_clicked()
{
    const auto link = chosenLink(ui->devType->currentText());
    if (link && !session->setOrigin(*link))
        refuseBusy(QStringLiteral("Set Origin"));
}

void MainWidget::on_backOrigin_clicked()
{
    const auto link = chosenLink(ui->devType->currentText());
    if (link && !session->backOrigin(*link, QPoint(originX, originY)))
        refuseBusy(QStringLiteral("Back Origin"));
}

void MainWidget::on_startBtn_clicked()
{
    if (jobRunner->state() == JobRunner::State::Idle && !session->busy())
        ui->resultText->clear(); // the result of the last action stays until the next one
    jobRunner->clicked(workIndex);
}

JobSettings MainWidget::jobSettings() const
{
    JobSettings s;
    s.plotFile = ui->filePath->text();
    s.rotate = ui->rotate->isChecked();
    s.creasePasses = ui->repeatCrease->isChecked() ? ui->creaseCnt->value() : 1;
    s.cutPasses = ui->repeatCut->isChecked() ? ui->cutCnt->value() : 1;
    s.knifeOffsetMm = ui->knifeOffsetChx->isChecked() ? ui->knifeOffset->value() : 0.0;
    s.closeOffsetMm = ui->closeOffsetChx->isChecked() ? ui->closeOffset->value() : 0.0;
    s.matrix = ui->matOne->isChecked()    ? MatrixLayout::One
               : ui->matTwo->isChecked()  ? MatrixLayout::Two
               : ui->matFour->isChecked() ? MatrixLayout::Four
                                          : MatrixLayout::None;
    s.gapFirstMm = ui->matSpH->value();
    s.gapSecondMm = ui->matSpV->value();
    s.usbDevice = ui->device->currentText();
    s.cutterAddress = ui->deviceIP->text();
    s.feed.sheetsLeft = ui->count->value();
    s.feed.feedDistMm = ui->feedDist->value();
    s.feed.ejectDistMm = ui->ejectDist->value();
    s.feed.offsetArgMm = ui->offsetArg->value();
    s.feed.smartScan = ui->smartScan->isChecked();
    s.feed.feedStartX = feedStartX;
    s.feed.feedCenterY = feedCenterY;
    s.feed.scanStepX = scanStepX;
    s.feed.scanStepY = scanStepY;
    s.feed.feedIntervalSecs = feedIntervalSecs;
    return s;
}

void MainWidget::showJobState(const QString &text)
{
    ui->stateText->setText(text);
}

void MainWidget::showResult(const QString &text, bool failed)
{
    ui->resultText->setText(QTime::currentTime().toString(QStringLiteral("HH:mm")) + QLatin1Char(' ') + text);
    if (failed)
        qWarning().noquote() << text;
    else
        qInfo().noquote() << text;
}

// What the plot file holds, or why it cannot be cut, once the path has
// stopped changing (typing a path changes it at every key).
void MainWidget::describePlotFile()
{
    const QString path = ui->filePath->text();
    if (path.isEmpty())
        return;
    QString detail;
    const QString problem = plotFileProblem(path, &detail);
    if (!problem.isEmpty()) {
        showResult(problem, true);
        return;
    }
    const QString header = leadingMdRun(PltSolve().readPlotFile(path));
    const QString name = QFileInfo(path).fileName();
    if (header.isEmpty()) {
        showResult(tr("%1 does not begin with an MD instruction: it cannot be cut").arg(name), true);
        return;
    }
    if (ui->lineView->paths.isEmpty()) { // Start would refuse it
        showResult(tr("%1 holds no crease or cut lines: it cannot be cut").arg(name), true);
        return;
    }
    const QSize size = parseMdSize(header);
    showResult(tr("%1: %2 paths, %3 × %4 mm")
                   .arg(name)
                   .arg(ui->lineView->paths.size())
                   .arg(QString::number(size.height() / double(kUnitsPerMm), 'g', 4),
                        QString::number(size.width() / double(kUnitsPerMm), 'g', 4)),
               false);
}

// An information box without buttons or parent that closes itself after a second.
static void showSelfClosingBox(const QString &title, const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Information, title, text, QMessageBox::NoButton, nullptr,
                                Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    QTimer::singleShot(1000, box, &QMessageBox::accept);
    box->exec();
    delete box;
}

void MainWidget::showConnectError()
{
    showSelfClosingBox(tr("Warning"), tr("Connect Error!"));
}

void MainWidget::showOriginDone(bool back)
{
    showSelfClosingBox(back ? tr("Back") : tr("Set"), tr("<font color=green>OK!</font>"));
}

bool MainWidget::confirmCalibration()
{
    QMessageBox box(QMessageBox::Information, tr("Start Auto-Adjust"),
                    tr("Use pen, put a blank paper, and press <font color=green>OK</font> to Run."),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::NoButton);
    return box.exec() == QMessageBox::Ok;
}

void MainWidget::showCalibrationDone()
{
    QMessageBox::information(this, tr("Auto-Offset"), tr("Auto-Adjust Completed!"), QMessageBox::Ok);
}

void MainWidget::setSheetsLeft(int count)
{
    ui->count->setValue(count);
}

bool MainWidget::askForMedia()
{
    QMessageBox box(QMessageBox::Question, tr("No Paper..."),
                    tr("Check media container...<br>Load media and press <font color=green>OK</font> to "
                       "Continue,<br>Or press <font color=red>Cancel</font> to Exit!"),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::NoButton);
    return box.exec() == QMessageBox::Ok; // closing the box is Cancel
}

void MainWidget::showJobPaths(const PlotPathList &paths)
{
    ui->lineView->paths = paths;
    repaint();
}
