// Serves one published peripheral: answers the panel's requests, reads a
// reader's input file at the device's speed, punches a reader-punch's output
// and reports each event as one line through the sink.
#pragma once
#include <functional>
#include <string>
#include "periph-desc.h"
#include "publication.h"
#include "reader-fields.h"

namespace DevHost {

using EventSink = std::function<void(const std::string&)>;

struct HostSettings {
    UINT machine = 0;
    std::string root;
    UINT cpu = 0;
    UINT cardsPerMinute = 300;
    UINT tapeCharsPerSecond = 300;
    UINT publishPauseMs = 0;
};

class DeviceServer {
public:
    DeviceServer(const HostSettings& settings, const PeriphDesc& desc, EventSink sink);
    virtual ~DeviceServer();
    DeviceServer(const DeviceServer&) = delete;
    DeviceServer& operator=(const DeviceServer&) = delete;

    bool Publish(std::string* error, bool* inUse);
    void Withdraw();
    bool Published() const { return m_pub.Block() != nullptr; }
    // The last Publish replaced a block left by a host that died.
    bool TookOver() const { return m_pub.TookOver(); }

    // One turn of the poll; `now` in seconds on a monotonic clock.
    void Poll(double now);
    // Disconnects the medium (m_Disc), as at the end of an input file.
    void Disconnect(const std::string& reason);
    bool Truncate(UINT size) { return m_pub.Truncate(size); }

    void SetIgnoring(bool ignoring) { m_ignoring = ignoring; }
    void SetHostUp(bool up);
    void SetCloseOnHostDown(bool on);
    void SetDiscWhileOpen(bool on) { m_desc.discWhileOpen = on; }
    void SetOperAnswer(bool on) { m_desc.operAnswer = on; }

    PSHAREBASE Block() const { return m_pub.Block(); }
    const PeriphDesc& Desc() const { return m_desc; }

private:
    // What a request's data looked like when its flag was first seen raised.
    struct Snapshot {
        std::string file;
        bool isDevice = false;
        bool discWhileOpen = false;
        UINT q = 0, p = 0;
    };
    struct Request {
        const char* name;
        bool seen = false;
        Snapshot data;
    };
    enum RequestId { kHold, kAllocate, kFormatLoop, kCloseFile, kPQ, kAllocate2, kHold2, kRequestCount };

    volatile bool* FlagOf(RequestId id) const;
    Snapshot Capture(RequestId id) const;
    std::string Describe(RequestId id, const Snapshot& data) const;
    std::string Serve(RequestId id, const Snapshot& data);
    void Emit(const std::string& line) const { m_sink(line); }

    std::string ServeAllocate(const Snapshot& data);
    std::string AllocateInput(const Snapshot& data);
    std::string ResumeInput();
    std::string AllocateOutput(const Snapshot& data);
    std::string ServeHold();
    std::string ServeFormatLoop(const Snapshot& data);
    std::string ServeCloseFile();
    std::string ServeAllocate2();
    std::string ServeHold2();

    bool IsReaderPunch() const;
    SAUtils::ReaderFields Reader() const;

    void AdvanceReader(double now);
    // Reports when the panel has taken a disconnection.
    void WatchDisconnect(double now);
    UINT NextCardLength() const;
    void CloseInput();
    UINT ReaderRate() const;  // units a minute (cards) or a second (characters)

    HostSettings m_settings;
    PeriphDesc m_desc;
    EventSink m_sink;
    Publication m_pub;
    bool m_ignoring = false;
    Request m_requests[kRequestCount] = {
        {"hold", false, {}},      {"allocate", false, {}}, {"formatloop", false, {}}, {"closefile", false, {}},
        {"pq", false, {}},        {"allocate2", false, {}}, {"hold2", false, {}}};

    // The reader's input file.
    int m_inputFd = -1;
    std::string m_inputPath;
    UINT m_inputSize = 0;
    UINT m_inputPos = 0;
    bool m_reading = false;
    bool m_keptOpen = false;  // left open by a disconnect
    double m_credit = 0;      // cards or characters due
    double m_lastTime = -1;

    // A reader-punch's punch: the output file it writes, relative to the
    // root, while it has a medium.
    std::string m_punchFile;

    double m_lastPoll = 0;
    double m_discRaisedAt = -1;  // m_Disc raised and not yet taken
};

// A few lines that the host writes into an output file, so that a demo shows
// that the allocation arrived.
std::string OutputSample(UINT type, UINT channel, const std::string& model);

// The name, relative to the root, of a reader-punch's n-th output file.
std::string PunchFileName(UINT channel, UINT n);

// Whether an output allocation's name is a device of the host rather than a
// file under the root. A panel turns a chosen "dev_" file into the rest of
// its name, cut before its first '.' and then given a ':' ("dev_lp0.txt"
// gives "lp0:", "DEV_PRN" gives "PRN"), and sends a file as its path relative
// to the root. So a name that ends in ':', or that has neither a '/' nor a
// '.', is a device. A line printer's panel sets m_IsDevice with every name:
// it cannot say "device", but a false m_IsDevice says "file".
bool NamesDevice(UINT type, const std::string& name, bool isDevice);

// A relative path that stays under the root: not empty, not absolute, no
// "..". False with a reason otherwise.
bool SafeRelativePath(const std::string& path, std::string* why);

}  // namespace DevHost
