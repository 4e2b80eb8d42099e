// pravik: the console. Parses the command line, starts the application and
// runs the Qt event loop; with --screenshot it connects to the simulated
// module, saves a picture of the main window and exits.
#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTemporaryDir>
#include <cstdio>

#include "app/MainFrm.h"
#include "app/PravikApp.h"
#include "app/PravikView.h"
#include "platform/qt/QtMessageLoop.h"
#include "platform/qt/UiOperator.h"

namespace {

constexpr int EXIT_USAGE = 2;
constexpr int SCREENSHOT_WAIT_MS = 15000;

// Pumps the event loop until done() or the time is up.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
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
    // A screenshot shows the defaults, whatever the user's own settings are.
    QTemporaryDir screenshotSettings;
    if (!options.screenshot.empty() && options.settingsDir.empty()) {
        options.settingsDir = screenshotSettings.path().toStdString();
    }

    int qtArgc = 1;
    QApplication application(qtArgc, argv);
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
