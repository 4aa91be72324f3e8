#include "host-options.h"

#include <set>
#include "catalogue.h"

namespace DevHost {

namespace {

bool Fail(std::string* error, const std::string& why)
{
    *error = why;
    return false;
}

// Drops "." components and repeated or trailing slashes, so that the root
// reaches the panel in the form it compares file paths with.
std::string TidyPath(const std::string& path)
{
    std::string out;
    for (const std::string& part : SplitText(path, '/')) {
        if (part.empty() || part == ".")
            continue;
        out += "/" + part;
    }
    return out.empty() ? "/" : out;
}

}  // namespace

bool ParseHostOptions(const std::vector<std::string>& args, const std::string& cwd, HostOptions* options,
                      std::string* error)
{
    *options = HostOptions();
    bool machineGiven = false;
    std::set<UINT> channels;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options->help = true;
            return true;
        }
        if (arg == "--exit-on-eof") {
            options->exitOnEof = true;
            continue;
        }
        // Every other option takes a value, as "--name VALUE" or "--name=VALUE".
        std::string name = arg, value;
        size_t eq = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return Fail(error, "option '" + arg + "' needs a value (see --help)");
        }
        if (name == "--machine" || name == "-M") {
            if (!ParseUint(value, &options->machine))
                return Fail(error, "bad machine number '" + value + "'");
            machineGiven = true;
        } else if (name == "--root") {
            if (value.empty())
                return Fail(error, "empty --root");
            options->root = TidyPath(value[0] == '/' ? value : cwd + "/" + value);
            if (options->root.size() > 512)
                return Fail(error, "--root is longer than 512 characters");
        } else if (name == "--periph" || name == "-p") {
            PeriphDesc desc;
            std::string why;
            if (!ParsePeriphDesc(value, &desc, &why))
                return Fail(error, why);
            if (!channels.insert(desc.channel).second)
                return Fail(error, "channel " + std::to_string(desc.channel) + " given twice");
            options->periphs.push_back(desc);
        } else if (name == "--cpu") {
            if (!ParseCpuName(value, &options->cpu))
                return Fail(error, "unknown processor '" + value + "'");
        } else if (name == "--poll-ms") {
            if (!ParseUint(value, &options->pollMs) || options->pollMs < 1 || options->pollMs > 1000)
                return Fail(error, "--poll-ms takes 1 to 1000");
        } else if (name == "--publish-pause-ms") {
            if (!ParseUint(value, &options->publishPauseMs) || options->publishPauseMs > 1000)
                return Fail(error, "--publish-pause-ms takes 0 to 1000");
        } else if (name == "--chaos") {
            if (!ParseUint(value, &options->chaosSeed))
                return Fail(error, "--chaos takes a seed, a whole number");
            options->chaos = true;
        } else if (name == "--chaos-rate") {
            if (!ParseUint(value, &options->chaosRate) || options->chaosRate == 0 || options->chaosRate > 6000)
                return Fail(error, "--chaos-rate takes 1 to 6000 actions a minute");
        } else if (name == "--replay") {
            if (value.empty())
                return Fail(error, "empty --replay");
            options->replayPath = value;
        } else if (name == "--card-rate") {
            if (!ParseUint(value, &options->cardsPerMinute) || options->cardsPerMinute == 0)
                return Fail(error, "--card-rate takes a positive number of cards a minute");
        } else if (name == "--tape-rate") {
            if (!ParseUint(value, &options->tapeCharsPerSecond) || options->tapeCharsPerSecond == 0)
                return Fail(error, "--tape-rate takes a positive number of characters a second");
        } else {
            return Fail(error, "unknown option '" + arg + "' (see --help)");
        }
    }
    if (options->chaos && !options->replayPath.empty())
        return Fail(error, "--chaos and --replay exclude each other");
    if (!machineGiven)
        return Fail(error, "--machine is required (see --help)");
    if (options->root.empty())
        options->root = TidyPath(cwd);
    return true;
}

std::string UsageText()
{
    return R"(Usage: dek-devhost --machine N [--root DIR] --periph SPEC [--periph SPEC ...] [options]

Stands in for the emulator host: publishes the shared blocks of peripherals
of one machine as /SHMEM_<machine>_<channel>, serves the panels' requests
and takes commands on standard input, one a line.

Options:
  --machine N, -M N   machine number (required)
  --root DIR          system root written into every block (default: the
                      current directory); output files are written under it
  --periph SPEC, -p   a peripheral to publish (repeatable), see below
  --cpu NAME          host processor, e.g. 1906A or CPU_1904S (default NONE)
  --poll-ms N         request poll period in milliseconds (default 5)
  --card-rate N       card reader speed, cards a minute (default 300)
  --tape-rate N       paper-tape reader speed, characters a second (default 300)
  --exit-on-eof       quit when standard input closes
  --chaos SEED        misbehave on purpose: at random moments take peripherals
                      down and up, stall requests, disconnect, withdraw,
                      truncate and republish them (the same for every run
                      with the same seed); each action is printed as
                      "chaos t=SECONDS COMMAND"
  --chaos-rate N      chaos actions a minute over all peripherals (default 60)
  --replay FILE       take the chaos lines of FILE (a log of an earlier run)
                      again, each at its time after the start
  --publish-pause-ms N  wait N ms between creating, sizing, filling and
                      validating each block (to watch publication in tests)
  --help              this text

SPEC is CHANNEL:TYPE[:MODEL[:OPTION,OPTION...]]
  CHANNEL  SI channel, 0 to 99
  TYPE     TR TP LP CR CP MT ED DR UX MX FD GP GD CC HD ES PB (or another
           two-letter type name), or a type number 0 to 63 such as 40
  MODEL    model name shown by the panel, e.g. CR1911/1, TR1915/1, RP2602,
           SC7930; empty or left out gives the type's usual model. m_DevTyp
           is the model's own device code when the model names one.
  OPTIONS  ops=N              operator number (default: the channel)
           devtyp=NAME|N      device code, e.g. PT_PT_LONGBLOCK or 110
           phys=DEVICE        the peripheral is the real device DEVICE
           closeonhostdown=0|1  panels close when the host goes down (1)
           up=0|1             host up at publication (1)
           oper=0|1           m_Oper answered to an allocation (1)
           discopen=0|1       a disconnect keeps a reader's file open (0)
           rate=N             reader speed (cards a minute or chars a second)
           lines=N            multiplexor lines, 1 to 20 (4)
           speeds=S[/S...]    line speeds in bit/s, one for all or one a line
           synch=0|1[/...]    synchronous lines;  sentinel=0|1[/...]
           drums=N            drums of a DR or HD unit (2)
           transports=N       tape transports (MT) or drives (ED FD ES)
           basedir=DIR        directory of the tape or disc files
           tr=FILE, tp=FILE   reader-punch (RP2601, RP2602): the reader and
                              punch files its block names at publication
A reader-punch's punch writes a new file data/punch-<CH>-<N>.tpe under the
root at each ALLOCATE2 and ends its medium (raises m_Disc2) on HOLD2.
Example: dek-devhost --machine 1 --root /srv/1900 --periph 5:CR:CR1911/1:ops=5
         --periph 9:TP:TP1925/1 --periph 12:MX:SC7930:lines=3,speeds=300/1200/2400

Commands on standard input ([CH] means one channel or, left out, all):
  up [CH] | down [CH]        set m_HostUp
  closeonhostdown on|off [CH]
  discopen on|off [CH]       disconnect with the reader's file left open
  oper on|off [CH]           m_Oper answered to later allocations
  disc CH                    disconnect the medium now (raise m_Disc)
  ignore [CH] | ack [CH]     leave requests unanswered / answer them again
  set CH FIELD VALUE         store into a field, e.g. set 5 m_OpsNo 12,
                             set 5 m_Periph TR1915/1, set 11 m_Lines[2].Speed 300
  get CH FIELD               prints: value CH FIELD VALUE
  show CH                    prints every field of the block, then: end CH
  publish SPEC | withdraw CH publish or remove a peripheral at run time
  truncate CH SIZE           cut the block to SIZE bytes, then withdraw it
  chaos SEED | chaos off     start the chaos now / end it and put every
                             peripheral of the command line back as it was
  list                       prints: channels CH CH ...
  help | quit
A block that a killed dek-devhost left is taken over; one that a live host
serves is refused.
Output, one line an event: ready, published CH (and "over the block of a host
  that died" when it took one over), withdrawn CH,
  served CH REQUEST KEY=VALUE... (the request's data as it was when its flag
  rose), pending CH REQUEST ... (seen while ignoring), disc CH REASON,
  taken CH disc after=SECONDS (a panel cleared m_Disc), chaos t=T COMMAND,
  ok COMMAND, error MESSAGE.
)";
}

}  // namespace DevHost
