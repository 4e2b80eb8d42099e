#pragma once
// The application object: command line, start-up order, and the embedded
// simulated module of --simulate.
#include <QString>
#include <QStringList>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/PravikDoc.h"

class CMainFrame;
class CPravikView;
class CPortMap;
#include "sim/SimPty.h"
class IMessageLoop;
class IUiOperator;

struct SAppOptions {
    bool simulate = false;
    int simBaud = 0;       // 0: the settings' rate
    int simType = -1;      // -1: the settings' board type
    std::string settingsDir;  // empty: the user's configuration folder
    // --port COMn=PATH, in order; applied after the settings file's map.
    std::vector<std::pair<std::string, std::string>> ports;
    std::string screenshot;   // --screenshot FILE
    bool listPorts = false;   // --list-ports
    bool help = false;
};

// Parses the arguments after the program name. Returns false with a message
// for an unknown option or a bad value.
bool ParseCommandLine(const QStringList& args, SAppOptions& options, QString& error);
// The --help text.
QString UsageText();

class CPravikApp {
public:
    CPravikApp(IMessageLoop& loop, IUiOperator& op, SAppOptions options);
    ~CPravikApp();
    CPravikApp(const CPravikApp&) = delete;
    CPravikApp& operator=(const CPravikApp&) = delete;

    // Start-up up to the shown window: profile key, port map, simulated
    // module, document, frame, view and the view's initial update. Returns
    // false (with Error()) when the program cannot start.
    bool InitInstance();
    // Shows the main window (centred on its first show).
    void ShowMainWindow();

    CMainFrame* MainFrame() const { return m_pFrame.get(); }
    CPravikView* View() const { return m_pView; }
    CPravikDoc& Doc() { return m_Doc; }
    CSimPty* Simulator() const { return m_pSim.get(); }
    const QString& Error() const { return m_strError; }
    const SAppOptions& Options() const { return m_Options; }
    // The settings file of this run.
    const std::string& SettingsFile() const { return m_strSettingsFile; }

private:
    bool StartSimulator(CPortMap& ports);

    IMessageLoop& m_Loop;
    IUiOperator& m_Operator;
    SAppOptions m_Options;
    std::string m_strSettingsFile;
    CPravikDoc m_Doc;
    std::unique_ptr<CSimPty> m_pSim;
    std::unique_ptr<CMainFrame> m_pFrame;
    CPravikView* m_pView = nullptr;  // owned by the frame
    QString m_strError;
};
