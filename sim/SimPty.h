#pragma once
// The simulated module on a pseudo-terminal. The module sits on the master
// end; the console opens the slave path like any serial port. A real-time
// thread with its own timer queue drives the module: it reads what the
// console writes, takes the console's line speed from the terminal settings
// at that moment (the master end sees the slave's termios), and writes the
// answers back, paced at 10 bits per byte when asked to.
//
// The simulator keeps a slave descriptor of its own open, so the terminal
// survives the console closing and reopening its port.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/SimModule.h"
#include "sim/SimOptions.h"
#include "sim/SimScheduler.h"

// Line statistics of the transport.
struct SimLineStats {
    std::uint64_t bytesIn = 0;   // read from the console
    std::uint64_t bytesOut = 0;  // written to the console
};

class CSimPty {
public:
    CSimPty();
    ~CSimPty();
    CSimPty(const CSimPty&) = delete;
    CSimPty& operator=(const CSimPty&) = delete;

    // Creates the pseudo-terminal and starts serving. False (with LastError)
    // when the terminal cannot be made or the options are not usable.
    bool Start(const SimOptions& options);
    // Stops the thread and closes the terminal; the module keeps its state
    // until the next Start.
    void Stop();
    bool IsRunning() const { return m_Thread.joinable(); }

    std::string SlavePath() const { return m_strSlavePath; }
    const std::string& LastError() const { return m_strError; }

    // The module itself. While the simulator runs, touch it only inside
    // RunLocked (the serving thread uses it at any moment).
    CSimModule& Module() { return *m_Module; }
    void RunLocked(const std::function<void(CSimModule&)>& fn);

    // Thread-safe shortcuts.
    void SetFinger(int finger);
    void SetLowVoltage(bool low);
    SimStats Stats();
    SimLineStats LineStats();

private:
    struct SOutChunk {
        std::vector<std::uint8_t> bytes;
        std::size_t sent = 0;
        int baud = 0;
    };

    // Bytes from the console on a paced line, handed to the module once
    // they would have crossed it.
    struct SInChunk {
        double due = 0;  // seconds since the start
        std::vector<std::uint8_t> bytes;
        int baud = 0;
    };

    void ThreadMain();
    void ReadConsole();
    void DeliverInput(double now);       // called with the lock held
    void FlushOutput(double now);        // called with the lock held
    double NextWait(double now);         // seconds; called with the lock held
    int LineBaud() const;
    double Seconds() const;              // since the start, steady clock
    bool Fail(const std::string& what);
    void CloseAll();

    int m_Master = -1;
    int m_Slave = -1;   // our own slave descriptor, keeps the terminal alive
    int m_WakeFd = -1;  // eventfd: stop, or work queued by another thread
    std::string m_strSlavePath;
    std::string m_strError;
    bool m_bThrottle = false;

    std::thread m_Thread;
    std::atomic<bool> m_bStop{false};
    std::mutex m_Lock;  // guards the module, the timers and the output queue
    std::chrono::steady_clock::time_point m_Epoch;
    std::unique_ptr<CSimTimerQueue> m_Timers;
    std::unique_ptr<CSimModule> m_Module;
    std::deque<SOutChunk> m_Out;
    std::deque<SInChunk> m_In;
    double m_TxNext = 0;  // throttled: when the next byte may leave (seconds)
    double m_TxLast = 0;  // when the last write was made
    double m_RxFree = 0;  // throttled: when the last byte read has fully arrived
    bool m_bWantWrite = false;
    SimLineStats m_Line;
};
