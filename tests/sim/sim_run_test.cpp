// The simulator as its command line runs it: replayed input, a fixed clock, its output lines.
#include "tools/kalvor-sim/CommandLine.h"
#include "tools/kalvor-sim/ReplaySources.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

using namespace kalvor_sim;

namespace {

// A clock that starts at 09:05:29.000 on Tuesday 12 April 2016 and moves 200 ms per reading: the
// simulator reads it once at start and once per chunk of input, so each line of hex text below
// arrives 200 ms after the one before.
LocalClock SteppingClock() {
    return [next = LocalInstant{2016, 4, 12, 2, 9, 5, 29, 0}]() mutable {
        const LocalInstant now = next;
        next = AddMilliseconds(next, 200);
        return now;
    };
}

const char* const kExampleLines = "F6 01 16 F2\nF6 02 04 03\nF6 03 12 F4 # the 12th\nF6 04 02 03\n"
                                  "F60509FB\nF6 06 05 FE\nF6,07,30,D2\n";

struct RunResult {
    int status;
    std::string out;
    std::string errors;
};

RunResult Simulate(const std::string& hexText, RunOptions options = {}) {
    std::istringstream text(hexText);
    HexTextSource source(text, "test input");
    std::ostringstream out, errors;
    const int status = RunSimulator(source, SteppingClock(), options, out, errors);
    return {status, out.str(), errors.str()};
}

TEST(SimulatorRun, TellsEachFrameAndTheSequenceToPeople) {
    const RunResult run = Simulate(kExampleLines);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(run.out, "2016-04-12 09:05:29.200  F6 01 16 F2  year     16  ok\n"
                       "2016-04-12 09:05:29.400  F6 02 04 03  month    4   ok\n"
                       "2016-04-12 09:05:29.600  F6 03 12 F4  day      12  ok\n"
                       "2016-04-12 09:05:29.800  F6 04 02 03  weekday  2   ok\n"
                       "2016-04-12 09:05:30.000  F6 05 09 FB  hour     9   ok\n"
                       "2016-04-12 09:05:30.200  F6 06 05 FE  minute   5   ok\n"
                       "2016-04-12 09:05:30.400  F6 07 30 D2  second   30  ok\n"
                       "2016-04-12 09:05:30.400  sequence complete: device clock "
                       "2016-04-12 09:05:30.000 Tuesday, error -400 ms\n");
}

TEST(SimulatorRun, WritesOneJsonObjectPerFrameAndPerSequence) {
    RunOptions options;
    options.json = true;
    const RunResult run = Simulate(std::string(kExampleLines) + "F6 02 13 F4\nF6 03\n", options);
    std::istringstream lines(run.out);
    std::vector<std::string> objects;
    for (std::string line; std::getline(lines, line);) {
        objects.push_back(line);
    }
    ASSERT_EQ(objects.size(), 10u) << run.out;
    EXPECT_EQ(objects[0],
              R"({"type":"frame","arrival":"2016-04-12T09:05:29.200","bytes":"F6 01 16 F2",)"
              R"("field":1,"name":"year","value":16,"status":"ok"})");
    EXPECT_EQ(objects[7],
              R"({"type":"sequence","arrival":"2016-04-12T09:05:30.400","complete":true,)"
              R"("frames":7,"device":"2016-04-12T09:05:30.000","weekday":2,)"
              R"("weekday_matches_date":true,"computer":"2016-04-12T09:05:30.400",)"
              R"("error_ms":-400})");
    EXPECT_EQ(objects[8],
              R"({"type":"frame","arrival":"2016-04-12T09:05:30.600","bytes":"F6 02 13 F4",)"
              R"("field":2,"name":"month","status":"rejected","reason":"out_of_range",)"
              R"("detail":"month 13 is not 1 to 12"})");
    EXPECT_EQ(objects[9], R"({"type":"frame","arrival":"2016-04-12T09:05:30.800","bytes":"F6 03",)"
                          R"("field":3,"name":"day","status":"rejected","reason":"truncated",)"
                          R"("detail":"truncated after 2 bytes: the input ended"})");
}

TEST(SimulatorRun, StopsAfterTheSequencesAskedFor) {
    RunOptions options;
    options.stopAfterSequences = 1;
    const RunResult run = Simulate(std::string(kExampleLines) + kExampleLines, options);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.find("F6 01 16 F2", run.out.find("sequence complete")), std::string::npos);
}

TEST(SimulatorRun, BadHexTextEndsTheRunWithAnError) {
    const RunResult run = Simulate("F6 01 16 F2\nF6 Z0\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, "kalvor-sim: test input line 2: 'Z' is not a hex digit\n");
    EXPECT_NE(run.out.find("F6 01 16 F2"), std::string::npos);
    EXPECT_EQ(Simulate("F6 011\n").errors,
              "kalvor-sim: test input line 1: \"011\" has an odd number of hex digits\n");
}

TEST(SimulatorRun, ReplaysRawBytesFromAFileAsTheyAre) {
    // Bytes a text-mode read would alter on Windows (0x1A, CR LF) travel as noise before a frame.
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "kalvor-sim-replay-test.bin";
    {
        std::ofstream file(path, std::ios::binary);
        file << std::string("\x1A\x0D\x0A\xF6\x07\x30\xD2", 7);
    }
    std::string error;
    std::ostringstream out, errors;
    {
        const std::unique_ptr<RawFileSource> source = RawFileSource::Open(path.string(), error);
        ASSERT_NE(source, nullptr) << error;
        EXPECT_EQ(RunSimulator(*source, SteppingClock(), {}, out, errors), 0);
    }
    std::filesystem::remove(path); // once closed: Windows keeps an open file
    EXPECT_EQ(out.str(), "2016-04-12 09:05:29.200  1A 0D 0A     noise    --  rejected: 3 bytes "
                         "outside any frame\n"
                         "2016-04-12 09:05:29.200  F6 07 30 D2  second   30  ok\n");

    EXPECT_EQ(RawFileSource::Open("no/such/capture.bin", error), nullptr);
    EXPECT_NE(error.find("cannot open no/such/capture.bin"), std::string::npos) << error;
}

CommandLine Parse(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "kalvor-sim");
    return ParseCommandLine(static_cast<int>(arguments.size()), arguments.data());
}

TEST(SimulatorCommandLine, TakesItsOptions) {
    CommandLine command = Parse({"--json", "--sequences", "3", "--silence-ms", "50", "--hex", "-"});
    EXPECT_EQ(command.m_action, CommandLine::Action::Run);
    EXPECT_TRUE(command.m_options.json);
    EXPECT_EQ(command.m_options.stopAfterSequences, 3);
    EXPECT_EQ(command.m_options.silenceLimitMs, 50);
    EXPECT_EQ(command.m_hexPath, "-");

    EXPECT_EQ(Parse({"--replay", "capture.bin"}).m_replayPath, "capture.bin");

    // A port by number, by COM name, or by the device that stands for it.
    EXPECT_EQ(Parse({"--port", "3"}).m_port->number, 3);
    EXPECT_EQ(Parse({"--port", "COM10"}).m_port->number, 10);
    EXPECT_EQ(Parse({"--port", "\\\\.\\COM21"}).m_port->number, 21);
    const CommandLine device = Parse({"--port", "/dev/ttyUSB0"});
    EXPECT_EQ(device.m_action, CommandLine::Action::Run);
    EXPECT_EQ(device.m_port->device, "/dev/ttyUSB0");
    EXPECT_EQ(device.m_port->number, 0);
    EXPECT_EQ(Parse({"--help"}).m_action, CommandLine::Action::Help);
    EXPECT_EQ(Parse({"--hex", "-", "--version"}).m_action, CommandLine::Action::Version);

    // Network devices: loopback unless an address is given, N of them on the ports from PORT on,
    // or N free ports for port 0.
    const CommandLine three = Parse({"--port", "tcp://:4001", "--devices", "3"});
    ASSERT_EQ(three.m_listen.size(), 3u);
    EXPECT_EQ(three.m_listen[0].host, "127.0.0.1");
    EXPECT_EQ(three.m_listen[2].port, 4003);
    const CommandLine free = Parse({"--port", "rfc2217://[::1]:0", "--port", "tcp://:0"});
    ASSERT_EQ(free.m_listen.size(), 2u);
    EXPECT_EQ(free.m_listen[0].protocol, kalvor_tools::NetworkDevice::Protocol::Rfc2217);
    EXPECT_EQ(free.m_listen[0].host, "::1");
    EXPECT_EQ(free.m_listen[1].port, 0);
}

TEST(SimulatorCommandLine, RefusesWhatItCannotDo) {
    const std::pair<std::vector<const char*>, const char*> cases[] = {
        {{}, "give one input: --port N|DEVICE|URL, --replay FILE or --hex FILE"},
        {{"--hex", "a", "--replay", "b"},
         "give one input: --port N|DEVICE|URL, --replay FILE or --hex FILE"},
        {{"--port", "3", "--hex", "-"},
         "give one input: --port N|DEVICE|URL, --replay FILE or --hex FILE"},
        {{"--hex"}, "--hex needs a value"},
        {{"--hex", "-", "--sequences", "0"}, "--sequences: \"0\" is not a count from 1"},
        {{"--hex", "-", "--silence-ms", "10x"},
         "--silence-ms: \"10x\" is not a number of milliseconds from 1 to 60000"},
        {{"--hex", "-", "--bogus"}, "unknown option --bogus"},
        {{"--port", "0"}, "--port: \"0\" is neither a port number from 1 to 255 nor a device"},
        {{"--port", "1", "--port", "2"},
         "--port: a simulator on a serial port is one device, on one port"},
        {{"--port", "1", "--port", "tcp://:0"},
         "--port: a simulator on a serial port is one device, on one port"},
        {{"--port", "1", "--devices", "2"},
         "--devices goes with network devices (--port tcp://... or rfc2217://...)"},
        {{"--port", "tcp://127.0.0.1:65535", "--devices", "2"},
         "--devices: 2 ports from 65535 go past 65535"},
        {{"--port", "tcp://:0", "--devices", "0"},
         "--devices: \"0\" is not a count from 1 to 10000"},
        {{"--port", "telnet://:23"},
         "--port: \"telnet://:23\": \"telnet://\" is not a kind of device (tcp:// or rfc2217://)"},
        {{"--port", "COM300"},
         "--port: \"COM300\" is neither a port number from 1 to 255 nor a device"},
        {{"/dev/pts/3"}, "unexpected argument \"/dev/pts/3\" (a port is given with --port)"},
    };
    for (const auto& [arguments, error] : cases) {
        const CommandLine command = Parse(arguments);
        EXPECT_EQ(command.m_action, CommandLine::Action::UsageError) << error;
        EXPECT_EQ(command.m_error, error);
    }
}

} // namespace

TEST(SimulatorRun, WithLineTimeEachByteArrivesAsA9600BaudLineDeliversIt) {
    RunOptions options;
    options.lineTime = true;
    const RunResult run = Simulate(kExampleLines, options);
    EXPECT_EQ(run.status, 0);
    // Each frame is read whole at once, every 200 ms; its last byte lands 4.17 ms later.
    EXPECT_NE(run.out.find("2016-04-12 09:05:29.204  F6 01 16 F2  year"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("2016-04-12 09:05:30.404  F6 07 30 D2  second"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("error -404 ms"), std::string::npos) << run.out;

    // Bytes that come faster than the line carries them queue behind each other: 28 bytes read
    // at once take 29.2 ms, the last of them lands at .229.
    std::string oneChunk(kExampleLines);
    oneChunk.erase(std::remove(oneChunk.begin(), oneChunk.end(), '\n'), oneChunk.end());
    oneChunk.erase(oneChunk.find('#'), oneChunk.find("F6 04") - oneChunk.find('#'));
    const RunResult queued = Simulate(oneChunk + "\n", options);
    EXPECT_NE(queued.out.find("2016-04-12 09:05:29.229  F6 07 30 D2  second"), std::string::npos)
        << queued.out;
}
