#pragma once
#include <QByteArray>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "framestream.h"
#include "jobhost.h"
#include "linkhelpers.h"
#include "mdsize.h"
#include "preview.h"

QT_BEGIN_NAMESPACE
namespace Ui { class MainWidget; }
class QTcpSocket;
class QTimer;
QT_END_NAMESPACE
class CutterSession;
class JobRunner;
class UsbHotplugWatcher;

// The program's one window. It owns the form (every widget under a fixed
// object name), the plot processor, the cutter links and the camera socket,
// and brings them up in a fixed order in its constructor. The operator's
// settings live in the widgets; config.ini only loads and saves them.
class MainWidget : public QWidget, public JobHost
{
    Q_OBJECT

public:
    explicit MainWidget(QWidget *parent = nullptr);
    ~MainWidget() override;

    // Settings file (config.ini, INI format, groups WCAM and KLOM). Loaded
    // once by the constructor, saved once by closeEvent. A key the file lacks
    // leaves its field as the form has it, and so does a number field's value
    // that is not a number (said on the result line). A save that fails is
    // said in a warning box naming the file, and logged.
    void loadSettings();
    void saveSettings();

    // Where loadSettings/saveSettings read and write: config.ini beside the
    // executable, or in the user's config directory when the executable's
    // directory cannot be written. A non-empty override (tests, tools) wins.
    static QString settingsPath();
    static void setSettingsPathOverride(const QString &path);

    // The language the window speaks, "zh" or "en", for a choice of "zh",
    // "en" or "auto" (anything else counts as auto): auto follows the
    // system's UI languages, Chinese when the first is Chinese, else English.
    static QString uiLanguage(const QString &choice, const QStringList &systemLanguages);
    // `cutterdesk --lang zh|en`: wins over config.ini's UI/language (not stored).
    static void setLanguageOverride(const QString &language);
    QString language() const { return m_language; }

    // Makes path the plot file, as the command line names it; a file that is
    // missing or cannot be read is said on the state line and in the log.
    void openPlotFile(const QString &path);

    // Work modes: fill modeNames/modeTips, and show the option groups of workIndex.
    void initModeTable();
    void updateModeWidgets();

    // Lists the attached cutters in `device` (new ones appended, vanished ones
    // removed) and, while devType reads "USB", enables connectBtn exactly when
    // one is listed, unless a job or the camera set-up holds it. Runs at
    // start and on every USB hot-plug event.
    void refreshDeviceList();

    static QSize parseMdSize(const QString &text) { return ::parseMdSize(text); }
    static bool isValidIp(const QString &text) { return ::isValidIp(text); }

    int workIndex = 0;       // current work mode, 0..11
    QStringList modeNames;   // the 12 mode titles, translated when built
    QStringList modeTips;    // the 12 mode descriptions
    int originX = 0;         // carriage origin kept by "Set Origin", plotter units
    int originY = 0;
    int unitsPerMm = kUnitsPerMm; // plotter units per millimetre
    int feedStartX = 120;    // auto-feed start move, first coordinate, plotter units
    int feedCenterY = 9300;  // auto-feed start move, centre of the second coordinate, plotter units
    int scanStepX = 400;     // smart scan step between mark search positions, plotter units
    int scanStepY = 600;
    int feedIntervalSecs = 18; // minimum time between two sheet feeds, seconds

protected:
    void closeEvent(QCloseEvent *event) override;
    // Tracks whether this window is the active one, for the job trigger's Space key.
    void changeEvent(QEvent *event) override;
    // A plot file dropped anywhere on the window goes to the path field.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void on_connectBtn_clicked();
    void on_startCamBtn_clicked();
    void on_enSeeK_clicked();
    void on_devType_currentTextChanged(const QString &arg1);
    void on_prevMode_clicked();
    void on_nextMode_clicked();
    void on_setFilePath_clicked();
    void on_autoCalibrate_clicked();
    void on_setOrigin_clicked();
    void on_backOrigin_clicked();
    void on_startBtn_clicked();

private:
    // Connected by hand, not by name: plain functions, so the form's
    // automatic connection does not look for a sender named socket,
    // lineView or matrix.
    void on_socket_read();
    void on_socket_disconnected();
    void on_lineView_configChanged();
    void on_matrix_configChanged();

    void installTranslation();
    void showMode();
    void showReleaseDate();
    void acceptPlotFileDrops();
    bool takePlotFileDrop(QEvent *event);
    void connectPreview();
    void connectPreviewSwitches();
    void showPreviewSwitches();
    void connectMatrix();
    void setUpUsbLink();
    void setUpCamSocket();
    void setUpJobs();
    void refuseBusy(const QString &action);
    void showCameraAt(const QString &address);

    // What the cutter procedures read from the form and show in it.
    JobSettings jobSettings() const override;
    void showJobState(const QString &text) override;
    void showResult(const QString &text, bool failed) override;
    void describePlotFile();
    void showConnectError() override;
    void showOriginDone(bool back) override;
    bool confirmCalibration() override;
    void showCalibrationDone() override;
    void setSheetsLeft(int count) override;
    bool askForMedia() override;
    void showJobPaths(const PlotPathList &paths) override;
    void stopCamera();

    static constexpr int kDescribeDelayMs = 300;
    QTimer *describeTimer = nullptr; // describes the plot file once its path settles
    QString m_languageChoice = QStringLiteral("auto"); // UI/language as config.ini has it
    QString m_language;                                // what the window speaks: zh or en
    Ui::MainWidget *ui = nullptr;
    PltSolve *pltSolve = nullptr;          // plot processor, child of this window
    UsbHotplugWatcher *usbWatcher = nullptr; // udev plug events, child of this window
    CutterSession *session = nullptr; // the cutter's thread: its links, jobs, origin, calibration, camera set-up
    JobRunner *jobRunner = nullptr;   // the Start/Stop button
    QTcpSocket *camSocket = nullptr; // camera stream, child of this window
    FrameStream camStream;           // frameBuffer, inFrame, markerState of the camera stream
    QString cameraAddress;           // where the camera stream was last started
    bool cameraSentTooLarge = false; // this stream sent a picture too large to show, and it was said
    PreviewSource previewSource;     // the plot file last previewed, parsed
};
