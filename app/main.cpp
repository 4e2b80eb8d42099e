// pravik: the console. Parses the command line, starts the application and
// runs the Qt event loop; with --screenshot it connects to the simulated
// module, saves a picture of the main window and exits; --list-ports prints
// the serial ports present and exits.
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/MainFrm.h"
#include "app/PravikApp.h"
#include "app/PravikView.h"
#include "platform/core/SerialPorts.h"
#include "platform/qt/QtMessageLoop.h"
#include "platform/qt/UiOperator.h"

namespace {

constexpr int EXIT_USAGE = 2;
constexpr int SCREENSHOT_WAIT_MS = 15000;

// SIGTERM, SIGINT and SIGHUP end the program through the event loop, so that
// everything is closed and removed as on File > Exit: the handler only writes
// to a pipe, which the loop watches.
int g_TerminatePipe[2] = {-1, -1};
volatile sig_atomic_t g_bTerminated = 0;

void OnTerminateSignal(int) {
    g_bTerminated = 1;
    const char byte = 1;
    if (g_TerminatePipe[1] >= 0) (void)!write(g_TerminatePipe[1], &byte, 1);
}

void QuitOnTerminateSignals() {
    if (pipe(g_TerminatePipe) != 0) return;
    auto* notifier = new QSocketNotifier(g_TerminatePipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] { QCoreApplication::quit(); });
    struct sigaction action = {};
    action.sa_handler = OnTerminateSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

// Without a display Qt would abort with advice about reinstalling; say what
// to do instead. An explicit QT_QPA_PLATFORM (offscreen, ...) is left to Qt.
bool HasDisplay() {
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

// Pumps the event loop until done(), the time is up or a signal ends the program.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs || g_bTerminated) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

// CONNECT to the simulated module, wait for its type and firmware version,
// dismiss the connection prompt and save the window with its menu bar.
int TakeScreenshot(CPravikApp& app, const QString& file) {
    CPravikView* view = app.View();
    CMainFrame* frame = app.MainFrame();
    PumpUntil([] { return false; }, 200);  // let the window settle
    ClickDlgItem(view, IDC_CONNECT);
    const bool connected = PumpUntil(
        [view] { return view->State().m_bConnected && view->State().m_nFirmwareLevel != 0; },
        SCREENSHOT_WAIT_MS);
    if (g_bTerminated) return 1;
    if (!connected) {
        std::fprintf(stderr, "pravik: the simulated module did not answer; no screenshot taken\n");
        return 1;
    }
    view->m_MsgDlg.Close();
    PumpUntil([] { return false; }, 200);
    const QPixmap picture = frame->grab();
    if (picture.isNull() || !picture.save(file, "PNG")) {
        std::fprintf(stderr, "pravik: cannot write %s\n", qPrintable(file));
        return 1;
    }
    std::printf("%s: %dx%d\n", qPrintable(file), picture.width(), picture.height());
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    // The command line is checked before any window system is needed, so
    // --help and mistakes work on a terminal without a display.
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    SAppOptions options;
    QString error;
    if (!ParseCommandLine(args, options, error)) {
        std::fprintf(stderr, "pravik: %s\nTry 'pravik --help' for more information.\n", qPrintable(error));
        return EXIT_USAGE;
    }
    if (options.help) {
        std::fputs(qPrintable(UsageText()), stdout);
        return 0;
    }
    if (options.listPorts) {
        // No window needed: the path to use comes first on each line.
        const std::vector<SSerialPortInfo> ports = ListSerialPorts();
        for (const SSerialPortInfo& port : ports) std::printf("%s\n", SerialPortListLine(port).c_str());
        if (ports.empty()) std::fputs("pravik: no serial port found\n", stderr);
        return 0;
    }
    if (!HasDisplay()) {
        std::fputs("pravik: no display: run it in a desktop session, or over ssh with X forwarding (ssh -X); "
                   "QT_QPA_PLATFORM=offscreen runs it without one\n",
                   stderr);
        return EXIT_USAGE;
    }

    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    QuitOnTerminateSignals();
    // A screenshot shows the defaults, whatever the user's own settings are:
    // its settings live in a temporary folder, made only then and removed on
    // the way out (also after SIGTERM).
    std::unique_ptr<QTemporaryDir> screenshotSettings;
    if (!options.screenshot.empty() && options.settingsDir.empty()) {
        screenshotSettings = std::make_unique<QTemporaryDir>();
        options.settingsDir = screenshotSettings->path().toStdString();
    }
    CQtMessageLoop loop;
    CQtOperator op;
    CPravikApp app(loop, op, options);
    if (!app.InitInstance()) {
        std::fprintf(stderr, "pravik: %s\n", qPrintable(app.Error()));
        return 1;
    }
    op.SetParentWidget(app.MainFrame());
    app.ShowMainWindow();
    if (!options.screenshot.empty()) return TakeScreenshot(app, QString::fromStdString(options.screenshot));
    return application.exec();
}
