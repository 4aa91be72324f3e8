#include "host.h"

#include <sstream>
#include "fields.h"

namespace DevHost {

Host::Host(const HostOptions& options, EventSink sink) : m_options(options), m_sink(std::move(sink))
{
    m_settings.machine = options.machine;
    m_settings.root = options.root;
    m_settings.cpu = options.cpu;
    m_settings.cardsPerMinute = options.cardsPerMinute;
    m_settings.tapeCharsPerSecond = options.tapeCharsPerSecond;
    m_settings.publishPauseMs = options.publishPauseMs;
}

Host::~Host()
{
    WithdrawAll();
}

bool Host::PublishAll(std::string* error)
{
    for (const PeriphDesc& desc : m_options.periphs) {
        if (!Publish(desc, error)) {
            WithdrawAll();
            return false;
        }
    }
    return true;
}

bool Host::Publish(const PeriphDesc& desc, std::string* error)
{
    if (m_servers.count(desc.channel) != 0) {
        *error = "channel " + std::to_string(desc.channel) + " is already published";
        return false;
    }
    auto server = std::make_unique<DeviceServer>(m_settings, desc, m_sink);
    bool inUse = false;
    if (!server->Publish(error, &inUse))
        return false;
    bool tookOver = server->TookOver();
    m_servers[desc.channel] = std::move(server);
    m_sink("published " + std::to_string(desc.channel) + (tookOver ? " over the block of a host that died" : ""));
    return true;
}

void Host::WithdrawAll()
{
    for (auto& entry : m_servers)
        entry.second->Withdraw();
    m_servers.clear();
}

void Host::Poll(double now)
{
    m_lastPoll = now;
    for (auto it = m_servers.begin(); it != m_servers.end();) {
        it->second->Poll(now);
        // A server whose object was spoilt has withdrawn itself.
        if (!it->second->Published())
            it = m_servers.erase(it);
        else
            ++it;
    }
    RunChaos(now);
}

bool Host::StartOptionChaos(std::string* error)
{
    if (!m_options.replayPath.empty()) {
        std::vector<ChaosAction> actions;
        if (!ReadChaosLog(m_options.replayPath, &actions, error))
            return false;
        StartChaos(std::make_unique<ChaosReplay>(actions));
    } else if (m_options.chaos) {
        StartChaos(std::make_unique<ChaosPlan>(m_options.chaosSeed, m_options.periphs, m_options.chaosRate));
    }
    return true;
}

void Host::StartChaos(std::unique_ptr<ChaosSource> source)
{
    m_chaos = std::move(source);
    m_chaosStart = -1;
}

void Host::RunChaosAction(const ChaosAction& action)
{
    m_sink(ChaosLine(action));
    Execute(action.command);
}

void Host::StopChaos()
{
    if (!m_chaos)
        return;
    double t = m_chaosStart < 0 ? 0 : m_lastPoll - m_chaosStart;
    std::unique_ptr<ChaosSource> chaos = std::move(m_chaos);
    for (const std::string& command : chaos->Restore())
        RunChaosAction(ChaosAction{t, command});
}

void Host::RunChaos(double now)
{
    if (!m_chaos)
        return;
    if (m_chaosStart < 0)
        m_chaosStart = now;
    // Actions are taken in their order even when the host fell behind.
    ChaosAction action;
    while (m_chaos && m_chaos->Next(now - m_chaosStart, &action))
        RunChaosAction(action);
}

bool Host::Truncate(const Command& command)
{
    DeviceServer* server = Find(command.channel);
    if (server == nullptr) {
        m_sink("error channel " + std::to_string(command.channel) + " is not published");
        return false;
    }
    // The host shrinks its own object under the panels, then withdraws it.
    if (!server->Truncate(command.number)) {
        m_sink("error cannot truncate channel " + std::to_string(command.channel));
        return false;
    }
    server->Withdraw();
    m_servers.erase(command.channel);
    m_sink("withdrawn " + std::to_string(command.channel));
    return true;
}

DeviceServer* Host::Find(UINT channel) const
{
    auto it = m_servers.find(channel);
    return it == m_servers.end() ? nullptr : it->second.get();
}

bool Host::ForEach(const Command& command, const std::function<void(DeviceServer&)>& action)
{
    if (command.allChannels) {
        for (auto& entry : m_servers)
            action(*entry.second);
        return true;
    }
    DeviceServer* server = Find(command.channel);
    if (server == nullptr) {
        m_sink("error channel " + std::to_string(command.channel) + " is not published");
        return false;
    }
    action(*server);
    return true;
}

void Host::Show(const DeviceServer& server) const
{
    std::string channel = std::to_string(server.Desc().channel);
    RecordKind record = RecordFor(server.Desc().type, server.Desc().model);
    for (const std::string& line : DescribeBlock(*server.Block(), record))
        m_sink("field " + channel + " " + line);
    m_sink("end " + channel);
}

const FieldDef* Host::CommandField(const Command& command, DeviceServer** server)
{
    *server = Find(command.channel);
    if (*server == nullptr) {
        m_sink("error channel " + std::to_string(command.channel) + " is not published");
        return nullptr;
    }
    const FieldDef* field = FindField(command.field, RecordFor((*server)->Desc().type, (*server)->Desc().model));
    if (field == nullptr)
        m_sink("error no field " + command.field + " in this block");
    return field;
}

bool Host::SetField(const Command& command)
{
    DeviceServer* server = nullptr;
    const FieldDef* field = CommandField(command, &server);
    if (field == nullptr)
        return false;
    std::string error;
    if (!StoreFieldValue(server->Block(), *field, command.value, &error)) {
        m_sink("error " + error);
        return false;
    }
    // The host's own idea of up and down follows the field.
    if (field->name == "m_HostUp")
        server->SetHostUp(server->Block()->m_HostUp);
    return true;
}

bool Host::GetField(const Command& command)
{
    DeviceServer* server = nullptr;
    const FieldDef* field = CommandField(command, &server);
    if (field == nullptr)
        return false;
    m_sink("value " + std::to_string(command.channel) + " " + field->name + " " +
           FieldValueText(*server->Block(), *field));
    return true;
}

bool Host::Execute(const std::string& line)
{
    Command command;
    std::string error;
    if (!ParseCommand(line, &command, &error)) {
        m_sink("error " + error);
        return true;
    }
    bool ok = true;
    switch (command.kind) {
    case CommandKind::Empty: return true;
    case CommandKind::Quit: return false;
    case CommandKind::Help: {
        std::istringstream text(UsageText());
        std::string helpLine;
        while (std::getline(text, helpLine))
            m_sink("# " + helpLine);
        return true;
    }
    case CommandKind::List: {
        std::string channels = "channels";
        for (auto& entry : m_servers)
            channels += " " + std::to_string(entry.first);
        m_sink(channels);
        return true;
    }
    case CommandKind::Up:
    case CommandKind::Down:
        ok = ForEach(command, [&](DeviceServer& s) { s.SetHostUp(command.kind == CommandKind::Up); });
        break;
    case CommandKind::CloseOnHostDown:
        ok = ForEach(command, [&](DeviceServer& s) { s.SetCloseOnHostDown(command.on); });
        break;
    case CommandKind::DiscOpen:
        ok = ForEach(command, [&](DeviceServer& s) { s.SetDiscWhileOpen(command.on); });
        break;
    case CommandKind::Oper: ok = ForEach(command, [&](DeviceServer& s) { s.SetOperAnswer(command.on); }); break;
    case CommandKind::Ignore:
    case CommandKind::Ack:
        ok = ForEach(command, [&](DeviceServer& s) { s.SetIgnoring(command.kind == CommandKind::Ignore); });
        break;
    case CommandKind::Disc: ok = ForEach(command, [](DeviceServer& s) { s.Disconnect("command"); }); break;
    case CommandKind::Show: ok = ForEach(command, [this](DeviceServer& s) { Show(s); }); return true;
    case CommandKind::Get: GetField(command); return true;
    case CommandKind::Set: ok = SetField(command); break;
    case CommandKind::Publish: {
        PeriphDesc desc;
        if (!ParsePeriphDesc(command.value, &desc, &error) || !Publish(desc, &error)) {
            m_sink("error " + error);
            return true;
        }
        return true;
    }
    case CommandKind::Truncate: ok = Truncate(command); break;
    case CommandKind::Chaos:
        if (command.on)
            StartChaos(std::make_unique<ChaosPlan>(command.number, m_options.periphs, m_options.chaosRate));
        else
            StopChaos();
        break;
    case CommandKind::Withdraw: {
        DeviceServer* server = Find(command.channel);
        if (server == nullptr) {
            m_sink("error channel " + std::to_string(command.channel) + " is not published");
            return true;
        }
        server->Withdraw();
        m_servers.erase(command.channel);
        m_sink("withdrawn " + std::to_string(command.channel));
        return true;
    }
    }
    if (ok)
        m_sink("ok " + line.substr(0, line.find_last_not_of(" \t\r") + 1));
    return true;
}

}  // namespace DevHost
