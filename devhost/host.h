// The development host: the published peripherals of one machine, served
// together, and the control commands that act on them.
#pragma once
#include <map>
#include <memory>
#include <string>
#include "chaos.h"
#include "command.h"
#include "device-server.h"
#include "fields.h"
#include "host-options.h"

namespace DevHost {

class Host {
public:
    Host(const HostOptions& options, EventSink sink);
    virtual ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Publishes the peripherals of the command line. False with a reason on
    // the first failure; whatever was published is withdrawn again.
    bool PublishAll(std::string* error);
    void WithdrawAll();

    void Poll(double now);

    // Starts the chaos that the command line asks for (--chaos, --replay);
    // false with a reason when a replay log cannot be read.
    bool StartOptionChaos(std::string* error);

    // Runs one control line; false when it asked the host to quit.
    bool Execute(const std::string& line);

private:
    bool Publish(const PeriphDesc& desc, std::string* error);
    DeviceServer* Find(UINT channel) const;
    // The servers a command addresses: one channel or all of them; reports
    // an unknown channel.
    bool ForEach(const Command& command, const std::function<void(DeviceServer&)>& action);
    void Show(const DeviceServer& server) const;
    // The published block and field a set or get command names; null after
    // reporting what is wrong.
    const FieldDef* CommandField(const Command& command, DeviceServer** server);
    bool SetField(const Command& command);
    bool GetField(const Command& command);
    bool Truncate(const Command& command);
    void StartChaos(std::unique_ptr<ChaosSource> source);
    // Ends the chaos and puts every peripheral back as it was.
    void StopChaos();
    void RunChaos(double now);
    void RunChaosAction(const ChaosAction& action);

    HostOptions m_options;
    HostSettings m_settings;
    EventSink m_sink;
    std::map<UINT, std::unique_ptr<DeviceServer>> m_servers;

    std::unique_ptr<ChaosSource> m_chaos;
    double m_chaosStart = -1;  // the first poll after the chaos began
    double m_lastPoll = 0;
};

}  // namespace DevHost
