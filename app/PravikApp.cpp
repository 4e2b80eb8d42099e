#include "app/PravikApp.h"

#include <QApplication>

#include "app/MainFrm.h"
#include "app/PravikView.h"
#include "console/SerialSettings.h"
#include "platform/core/ProfileFile.h"
#include "platform/core/SerialDevice.h"
#include "sim/SimPty.h"
#include "widgets/Resources.h"

namespace {

bool IsRate(int rate) {
    return rate == 9600 || rate == 19200 || rate == 38400 || rate == 57600 || rate == 115200;
}

// "0".."3" or a board name.
bool ParseBoardType(const QString& text, int& type) {
    static const char* const names[] = {"ZEL12", "Pell", "QOR10-HV", "QOR10-LV"};
    for (int i = 0; i < 4; ++i) {
        if (text.compare(names[i], Qt::CaseInsensitive) == 0 || text == QString::number(i)) {
            type = i;
            return true;
        }
    }
    return false;
}

}  // namespace

QString UsageText() {
    return QStringLiteral(
        "Usage: pravik [OPTION]...\n"
        "Test and evaluation console for the ZEL12, Pell and QOR10 fingerprint modules.\n"
        "\n"
        "Options:\n"
        "  --simulate             start the simulated module on a pseudo-terminal and\n"
        "                         map the selected COM port to it for this run\n"
        "  --sim-baud RATE        baud rate of the simulated module (9600, 19200, 38400,\n"
        "                         57600 or 115200; default: the settings' rate);\n"
        "                         implies --simulate\n"
        "  --sim-type T           board type of the simulated module: 0 ZEL12, 1 Pell,\n"
        "                         2 QOR10-HV, 3 QOR10-LV, or the name (default: the\n"
        "                         settings' type); implies --simulate\n"
        "  --settings-dir DIR     keep VESKA.INI in DIR instead of ~/.config/Talven\n"
        "  --port COMn=PATH       use the device PATH for port COMn in this run (the\n"
        "                         settings file is not changed); may be repeated\n"
        "  --screenshot FILE      connect to the simulated module, save a picture of\n"
        "                         the main window as FILE (PNG) and exit; uses fresh\n"
        "                         settings unless --settings-dir is given\n"
        "  --list-ports           list the serial ports present, one a line (the path\n"
        "                         to use, kernel name, maker and product), and exit\n"
        "  -h, --help             show this help and exit\n"
        "\n"
        "Ports COM1 to COM4 are /dev/ttyS0 to /dev/ttyS3 unless section [Ports] of\n"
        "VESKA.INI (keys COM1 to COM4) or --port says otherwise. Choosing a port from\n"
        "the list in File > Serial Comm stores it there for the current COM port.\n");
}

bool ParseCommandLine(const QStringList& args, SAppOptions& options, QString& error) {
    for (int i = 0; i < args.size(); ++i) {
        QString arg = args[i];
        QString value;
        bool hasInlineValue = false;
        if (arg.startsWith("--") && arg.contains('=')) {
            const int eq = arg.indexOf('=');
            value = arg.mid(eq + 1);
            arg = arg.left(eq);
            hasInlineValue = true;
        }
        auto takeValue = [&](QString& out) {
            if (hasInlineValue) {
                out = value;
                return true;
            }
            if (i + 1 >= args.size()) {
                error = QString("option '%1' needs a value").arg(arg);
                return false;
            }
            out = args[++i];
            return true;
        };
        auto noValue = [&] {
            if (!hasInlineValue) return true;
            error = QString("option '%1' takes no value").arg(arg);
            return false;
        };

        if (arg == "-h" || arg == "--help") {
            if (!noValue()) return false;
            options.help = true;
        } else if (arg == "--list-ports") {
            if (!noValue()) return false;
            options.listPorts = true;
        } else if (arg == "--simulate") {
            if (!noValue()) return false;
            options.simulate = true;
        } else if (arg == "--sim-baud") {
            QString text;
            if (!takeValue(text)) return false;
            bool ok = false;
            const int rate = text.toInt(&ok);
            if (!ok || !IsRate(rate)) {
                error = QString("bad baud rate '%1' (use 9600, 19200, 38400, 57600 or 115200)").arg(text);
                return false;
            }
            options.simBaud = rate;
            options.simulate = true;
        } else if (arg == "--sim-type") {
            QString text;
            if (!takeValue(text)) return false;
            if (!ParseBoardType(text, options.simType)) {
                error = QString("bad board type '%1' (use 0 ZEL12, 1 Pell, 2 QOR10-HV or 3 QOR10-LV)").arg(text);
                return false;
            }
            options.simulate = true;
        } else if (arg == "--settings-dir") {
            QString text;
            if (!takeValue(text)) return false;
            if (text.isEmpty()) {
                error = "option '--settings-dir' needs a directory";
                return false;
            }
            options.settingsDir = text.toStdString();
        } else if (arg == "--port") {
            QString text;
            if (!takeValue(text)) return false;
            const int eq = text.indexOf('=');
            const QString name = text.left(eq).toUpper();
            const QString path = eq < 0 ? QString() : text.mid(eq + 1);
            bool ok = false;
            const int number = name.startsWith("COM") ? name.mid(3).toInt(&ok) : 0;
            if (eq < 0 || !ok || number < 1 || path.isEmpty()) {
                error = QString("bad port mapping '%1' (use COMn=PATH, for example COM1=/dev/ttyUSB0)").arg(text);
                return false;
            }
            options.ports.emplace_back(QString("COM%1").arg(number).toStdString(), path.toStdString());
        } else if (arg == "--screenshot") {
            QString text;
            if (!takeValue(text)) return false;
            if (text.isEmpty()) {
                error = "option '--screenshot' needs a file name";
                return false;
            }
            options.screenshot = text.toStdString();
            options.simulate = true;
        } else {
            error = arg.startsWith('-') ? QString("unknown option '%1'").arg(arg)
                                        : QString("unexpected argument '%1'").arg(arg);
            return false;
        }
    }
    return true;
}

CPravikApp::CPravikApp(IMessageLoop& loop, IUiOperator& op, SAppOptions options)
    : m_Loop(loop), m_Operator(op), m_Options(std::move(options)) {}

CPravikApp::~CPravikApp() {
    // The frame (and with it the view, which closes the port) goes before the
    // simulated module it may be talking to.
    m_pFrame.reset();
    m_pSim.reset();
}

bool CPravikApp::StartSimulator(CPortMap& ports) {
    CSerialSettings settings(m_strSettingsFile);
    settings.LoadSettings();
    SimOptions sim;
    sim.baud = m_Options.simBaud ? m_Options.simBaud : settings.m_nBaudRate;
    if (!IsRate(sim.baud)) sim.baud = BaudRateFromIndex(BaudIndexFromRate(sim.baud));
    sim.type = m_Options.simType >= 0 ? m_Options.simType : settings.m_nType;
    if (sim.type < 0 || sim.type > 3) sim.type = 0;
    m_pSim = std::make_unique<CSimPty>();
    if (!m_pSim->Start(sim)) {
        m_strError = "Cannot start the simulated module: " + QString::fromStdString(m_pSim->LastError());
        m_pSim.reset();
        return false;
    }
    // The port the settings select leads to the simulated module in this run.
    ports.Set("COM" + std::to_string(settings.m_nComPort), m_pSim->SlavePath());
    return true;
}

bool CPravikApp::InitInstance() {
    // Profile key under the maker's name.
    QCoreApplication::setOrganizationName("Talven");
    QCoreApplication::setApplicationName(APP_NAME);
    QApplication::setWindowIcon(LoadIconRes(ICON_PROGRAM));
    if (!m_Options.settingsDir.empty()) SetProfileDirectory(m_Options.settingsDir);
    m_strSettingsFile = ResolveProfilePath(SETTINGS_FILE_NAME);

    // Ports: the settings file's map, then the command line's, then the
    // simulated module.
    CPortMap ports;
    CSerialSettings(m_strSettingsFile).ApplyPortMap(ports);
    for (const auto& port : m_Options.ports) ports.Set(port.first, port.second);
    if (m_Options.simulate && !StartSimulator(ports)) return false;

    // New document: frame, view, initial update.
    m_Doc.OnNewDocument();
    m_pFrame = std::make_unique<CMainFrame>();
    if (!m_pFrame->LoadFrame(IDR_MAINFRAME)) {
        m_strError = "The menu resource is missing.";
        return false;
    }
    auto* view = new CPravikView(m_Loop, m_Operator, m_strSettingsFile);
    if (!view->Create()) {
        delete view;
        m_strError = "The main form template is missing.";
        return false;
    }
    m_pView = view;
    view->PortMap() = ports;
    m_pFrame->SetView(view);
    m_pView->OnInitialUpdate();
    m_pFrame->RecalcLayout();
    m_Doc.SetTitle(DOC_TITLE);
    m_pFrame->UpdateCaption(m_Doc.GetTitle());
    return true;
}

void CPravikApp::ShowMainWindow() {
    if (!m_pFrame) return;
    m_pFrame->show();
}
