#include "mainwidget.h"
#include "devicelist.h"
#include "preview.h"
#include "release.h"
#include "rj45socket.h"
#include "usbdevices.h"
#include "usboperate.h"
#include "ui_mainwidget.h"
#include "workmodes.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QTcpSocket>
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
    ui->deviceIP->hide();
    resize(1024, 768);
    installTranslation();
    loadSettings();
    initModeTable();
    showMode();
    showReleaseDate();
    // The plot processor (pltSolve, child of this window) is created here.
    connectPreview();
    connectMatrix();
    setUpUsbLink();
    setUpCamSocket();
    setUpNetworkLink();
}

MainWidget::~MainWidget()
{
    delete ui;
    delete usbOperate;
}

void MainWidget::installTranslation()
{
    // Parented to the application: it stays installed for the whole run.
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral(":/Chinese.qm"))) {
        delete translator;
        return;
    }
    QCoreApplication::installTranslator(translator);
    ui->retranslateUi(this);
}

void MainWidget::showReleaseDate()
{
    ui->versionLB->setText(releaseDateLink(releaseDateStamp(QStringLiteral(__DATE__))));
}

void MainWidget::connectPreview()
{
    connect(ui->filePath, SIGNAL(textChanged(QString)), this, SLOT(on_lineView_configChanged()));
    connect(ui->knifeOffsetChx, SIGNAL(stateChanged(int)), this, SLOT(on_lineView_configChanged()));
    connect(ui->knifeOffset, SIGNAL(valueChanged(double)), this, SLOT(on_lineView_configChanged()));
    connect(ui->closeOffsetChx, SIGNAL(stateChanged(int)), this, SLOT(on_lineView_configChanged()));
    connect(ui->closeOffset, SIGNAL(valueChanged(double)), this, SLOT(on_lineView_configChanged()));
    connect(ui->rotate, SIGNAL(stateChanged(int)), this, SLOT(on_lineView_configChanged()));
    on_lineView_configChanged(); // preview the remembered plot file
}

void MainWidget::connectMatrix()
{
    connect(ui->matOne, SIGNAL(clicked()), this, SLOT(on_matrix_configChanged()));
    connect(ui->matTwo, SIGNAL(clicked()), this, SLOT(on_matrix_configChanged()));
    connect(ui->matFour, SIGNAL(clicked()), this, SLOT(on_matrix_configChanged()));
    on_matrix_configChanged();
}

void MainWidget::setUpUsbLink()
{
    usbOperate = new UsbOperate;
    // The watcher comes first so that no cutter plugged in during the first
    // scan is missed.
    usbWatcher = new UsbHotplugWatcher(this);
    connect(usbWatcher, &UsbHotplugWatcher::devicesChanged, this, &MainWidget::refreshDeviceList);
    refreshDeviceList();
}

void MainWidget::refreshDeviceList()
{
    // The check selects each listed cutter in turn; a plug event handled while
    // a job runs must not leave the job talking to another cutter.
    const QString selected = usbOperate->device();
    ::refreshDeviceList(ui->device, ui->connectBtn, ui->devType->currentText(), *usbOperate);
    usbOperate->setDevice(selected);
}

void MainWidget::setUpCamSocket()
{
    camSocket = new QTcpSocket(this);
    connect(camSocket, &QTcpSocket::readyRead, this, &MainWidget::on_socket_read,
            Qt::QueuedConnection);
    connect(camSocket, &QTcpSocket::disconnected, this, &MainWidget::on_socket_disconnected,
            Qt::QueuedConnection);
}

void MainWidget::setUpNetworkLink()
{
    rj45Socket = new RJ45Socket(this);
}

void MainWidget::closeEvent(QCloseEvent *)
{
    saveSettings();
    camSocket->close();
    std::exit(0);
}

// --- Work modes ---

void MainWidget::initModeTable()
{
    for (const WorkMode &mode : workModes) {
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
    if (workIndex < 0 || workIndex >= int(workModes.size()))
        return;
    const WorkMode &mode = workModes[workIndex];
    ui->MatGrp->setVisible(mode.matrix);
    ui->FeedGrp->setVisible(mode.autoFeed);
    ui->countLB->setVisible(mode.autoFeed);
    ui->count->setVisible(mode.autoFeed);
    if (!mode.autoFeed)
        return; // the hidden feed group keeps its fields as they are
    ui->ejectDistLB->setVisible(mode.eject);
    ui->ejectDist->setVisible(mode.eject);
    ui->ejectDistmm->setVisible(mode.eject);
    ui->smartScan->setVisible(mode.smartScan);
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
        ui->connectBtn->setEnabled(usbOperate && !usbOperate->listDevices().isEmpty());
        ui->device->show();
        ui->deviceIP->hide();
    } else if (arg1 == QLatin1String("RJ45")) {
        ui->connectBtn->setEnabled(true);
        ui->device->hide();
        ui->deviceIP->show();
    }
}

void MainWidget::on_setFilePath_clicked()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Select a File."), QString(),
                                                      QStringLiteral("pltfile(*.plt)"));
    if (!path.isEmpty())
        ui->filePath->setText(path); // textChanged refreshes the preview
}

void MainWidget::on_lineView_configChanged()
{
    RouteOptions route;
    route.knifeOffsetOn = ui->knifeOffsetChx->isChecked();
    route.knifeOffsetMm = ui->knifeOffset->value();
    route.closeOffsetOn = ui->closeOffsetChx->isChecked();
    route.closeOffsetMm = ui->closeOffset->value();
    const PltSolve solve;
    ui->lineView->paths = previewPaths(solve, ui->filePath->text(), ui->rotate->isChecked(), route,
                                       unitsPerMm);
    // The illustrations follow the offset fields also while no plot file is chosen.
    showRouteOptions(*ui->cutview, *ui->knifeview, route);
    repaint();
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

void MainWidget::on_connectBtn_clicked()
{
    // Camera set-up: sends the SSID and pass phrase through the cutter.
}

void MainWidget::on_startCamBtn_clicked()
{
    // Starts or stops the camera stream on port 5000.
}

void MainWidget::on_socket_read()
{
    // Assembles the camera's JPEG frames between the J_S= and J_E; markers.
}

void MainWidget::on_socket_disconnected()
{
    // The camera closed the stream.
}

void MainWidget::on_enSeeK_clicked()
{
    // Switches mark and QR recognition of the camera view on or off.
}

// --- Carriage and jobs ---

void MainWidget::on_autoCalibrate_clicked()
{
    // Automatic calibration with a pen.
}

void MainWidget::on_setOrigin_clicked()
{
    // Remembers the cutter's carriage position as the origin.
}

void MainWidget::on_backOrigin_clicked()
{
    // Moves the carriage back to the remembered origin.
}

void MainWidget::on_startBtn_clicked()
{
    // Runs the job of the current work mode; a second click stops it.
}
