#include "command.h"

#include <vector>
#include "periph-desc.h"

namespace DevHost {

namespace {

bool Fail(std::string* error, const std::string& why)
{
    *error = why;
    return false;
}

// Words separated by blanks; `rest` receives what follows the first `n`
// words, with the one separating blank removed.
std::vector<std::string> Words(const std::string& line, size_t n, std::string* rest)
{
    std::vector<std::string> words;
    size_t i = 0;
    rest->clear();
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= line.size())
            break;
        if (words.size() == n) {
            *rest = line.substr(i);
            break;
        }
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        words.push_back(line.substr(start, i - start));
    }
    return words;
}

bool ChannelWord(const std::string& word, UINT* channel, std::string* error)
{
    if (!ParseUint(word, channel) || *channel > kMaxChannel)
        return Fail(error, "bad channel '" + word + "'");
    return true;
}

// "[CH]": no words for every channel, one word for one channel.
bool OptionalChannel(const std::vector<std::string>& args, Command* command, std::string* error)
{
    if (args.empty())
        return true;
    if (args.size() > 1)
        return Fail(error, "too many arguments");
    command->allChannels = false;
    return ChannelWord(args[0], &command->channel, error);
}

bool RequiredChannel(const std::vector<std::string>& args, size_t count, Command* command, std::string* error)
{
    if (args.size() != count)
        return Fail(error, "wrong number of arguments (see help)");
    command->allChannels = false;
    return ChannelWord(args[0], &command->channel, error);
}

}  // namespace

bool ParseCommand(const std::string& line, Command* command, std::string* error)
{
    *command = Command();
    std::string text = line;
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    std::string rest;
    std::vector<std::string> words = Words(text, 1, &rest);
    if (words.empty() || words[0][0] == '#')
        return true;
    const std::string verb = words[0];
    std::string tail;
    std::vector<std::string> args = Words(rest, 8, &tail);
    if (!tail.empty() && verb != "set" && verb != "publish")
        return Fail(error, "too many arguments");

    if (verb == "help") {
        command->kind = CommandKind::Help;
        return args.empty() || Fail(error, "help takes no arguments");
    }
    if (verb == "quit" || verb == "exit") {
        command->kind = CommandKind::Quit;
        return args.empty() || Fail(error, "quit takes no arguments");
    }
    if (verb == "list") {
        command->kind = CommandKind::List;
        return args.empty() || Fail(error, "list takes no arguments");
    }
    if (verb == "up" || verb == "down" || verb == "ignore" || verb == "ack") {
        command->kind = verb == "up"       ? CommandKind::Up
                        : verb == "down"   ? CommandKind::Down
                        : verb == "ignore" ? CommandKind::Ignore
                                           : CommandKind::Ack;
        return OptionalChannel(args, command, error);
    }
    if (verb == "closeonhostdown" || verb == "discopen" || verb == "oper") {
        command->kind = verb == "closeonhostdown" ? CommandKind::CloseOnHostDown
                        : verb == "discopen"      ? CommandKind::DiscOpen
                                                  : CommandKind::Oper;
        if (args.empty() || !ParseBool(args[0], &command->on))
            return Fail(error, verb + " takes on or off, then an optional channel");
        args.erase(args.begin());
        return OptionalChannel(args, command, error);
    }
    if (verb == "disc" || verb == "show" || verb == "withdraw") {
        command->kind = verb == "disc" ? CommandKind::Disc : verb == "show" ? CommandKind::Show : CommandKind::Withdraw;
        return RequiredChannel(args, 1, command, error);
    }
    if (verb == "truncate") {
        command->kind = CommandKind::Truncate;
        if (!RequiredChannel(args, 2, command, error))
            return false;
        return ParseUint(args[1], &command->number) || Fail(error, "bad size '" + args[1] + "'");
    }
    if (verb == "chaos") {
        command->kind = CommandKind::Chaos;
        if (args.size() != 1)
            return Fail(error, "chaos takes a seed or off");
        command->on = args[0] != "off";
        return !command->on || ParseUint(args[0], &command->number) || Fail(error, "bad seed '" + args[0] + "'");
    }
    if (verb == "get") {
        command->kind = CommandKind::Get;
        if (!RequiredChannel(args, 2, command, error))
            return false;
        command->field = args[1];
        return true;
    }
    if (verb == "set") {
        // The value is the rest of the line, blanks and all.
        command->kind = CommandKind::Set;
        std::vector<std::string> head = Words(rest, 2, &command->value);
        if (head.size() != 2)
            return Fail(error, "set takes CHANNEL FIELD VALUE");
        command->allChannels = false;
        command->field = head[1];
        return ChannelWord(head[0], &command->channel, error);
    }
    if (verb == "publish") {
        command->kind = CommandKind::Publish;
        if (args.size() != 1 || !tail.empty())
            return Fail(error, "publish takes one CHANNEL:TYPE[:MODEL[:OPTIONS]]");
        command->value = args[0];
        return true;
    }
    return Fail(error, "unknown command '" + verb + "' (try help)");
}

}  // namespace DevHost
