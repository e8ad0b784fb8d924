// The status and stop datagrams, received with a real socket on loopback and read with a real
// JSON parser.
#include "ats_pt/ptc.h"
#include "platform/udp_receive.h"
#include "plugin/plugin.h"
#include "telemetry/telemetry.h"
#include "tests/support/vehicle_state.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cfloat>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace velqa3 {
namespace {

using nlohmann::ordered_json;

// A receiver on a free loopback port; every datagram is kept whole, zero byte included.
struct Receiver {
    platform::UdpListener listener;
    Receiver() { EXPECT_TRUE(platform::UdpListen(listener, "127.0.0.1", 0)); }
    ~Receiver() { platform::UdpStopListening(listener); }
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;

    // What has arrived; waits a little for the first, then takes whatever else is queued.
    std::vector<std::string> Drain(int firstWaitMs = 200) {
        std::vector<std::string> got;
        char buffer[4096];
        for (int wait = firstWaitMs;; wait = 0) {
            const long n = platform::UdpReceive(listener, buffer, sizeof buffer, wait);
            if (n <= 0) return got;
            got.emplace_back(buffer, static_cast<std::size_t>(n));
        }
    }
};

// The datagram's text: everything before the zero byte that must end it.
ordered_json Parsed(const std::string& datagram) {
    EXPECT_FALSE(datagram.empty());
    EXPECT_EQ(datagram.back(), '\0') << datagram;
    EXPECT_EQ(datagram.find('\0'), datagram.size() - 1) << "one zero byte, at the end";
    return ordered_json::parse(datagram.substr(0, datagram.size() - 1));
}

std::vector<std::string> Keys(const ordered_json& object) {
    std::vector<std::string> keys;
    for (const auto& item : object.items())
        keys.push_back(item.key());
    return keys;
}

// A plug-in instance with telemetry settings of its own, set up as the host does.
struct TelemetryRun {
    std::unique_ptr<Plugin> plugin = std::make_unique<Plugin>();
    std::int32_t panel[kPanelSize] = {};
    std::int32_t sound[kSoundSize] = {};

    TelemetryRun(bool status, bool stop, std::uint16_t statusPort, std::uint16_t stopPort) {
        Settings& settings = plugin->settings;
        settings.sendMode = status ? 1 : 0;
        settings.castMode = stop ? 1 : 0;
        settings.port = statusPort;
        settings.castPort = stopPort;
        plugin->SetVehicleSpec(VehicleSpec{8, 5, 2, 6, 10});
        plugin->Initialize(0);
    }
    ~TelemetryRun() { plugin->Dispose(); }
    TelemetryRun(const TelemetryRun&) = delete;
    TelemetryRun& operator=(const TelemetryRun&) = delete;

    void Frame(std::int32_t timeMs, float speed = 0.0f, bool suspended = false) {
        panel[kSuspendPanelIndex] = suspended ? 1 : 0;
        plugin->Elapse(test::StateAt(timeMs, speed, speed * 0.01), panel, sound);
    }
};

TEST(Telemetry, StatusDatagramAtEvery500MsBoundaryInTheFixedFormat) {
    Receiver receiver;
    TelemetryRun run(true, false, receiver.listener.port, 0);
    for (std::int32_t t = 10; t <= 2510; t += 20)
        run.Frame(t, 36.0f);
    const std::vector<std::string> got = receiver.Drain();
    ASSERT_EQ(got.size(), 5u) << "500, 1000, 1500, 2000 and 2500 ms";
    // The text itself is the protection's status message, whose format has its own test.
    for (const std::string& datagram : got) {
        const ordered_json status = Parsed(datagram);
        EXPECT_EQ(status["Ats"]["Spd"], 36.0);
        EXPECT_EQ(status["LimDo"]["Max"], 120.0);
    }
    EXPECT_EQ(got[0], std::string(run.plugin->protection.ptc.statusJson) + '\0');
}

// Off pattern territory the pattern protection does not run, but the status still tells the
// speed of the frame that sent it, also after a beacon handed the protection an older one.
TEST(Telemetry, StatusCarriesTheFramesSpeedWhileThePatternProtectionIsIdle) {
    Receiver receiver;
    TelemetryRun run(true, false, receiver.listener.port, 0);
    ModeGlobals& mode = run.plugin->protection.mode;
    mode.lineCode = 2; // [TRAIN] Default=2: spot protection alone
    mode.atsMode = kAtsSpot;
    mode.atsStarted = 1;
    run.Frame(990, 36.55f);
    receiver.Drain(); // the first frame spans the day so far
    for (std::int32_t t = 1010; t <= 1590; t += 20)
        run.Frame(t, 36.55f);
    std::vector<std::string> got = receiver.Drain();
    ASSERT_EQ(got.size(), 2u) << "1000 and 1500 ms";
    for (const std::string& datagram : got)
        EXPECT_EQ(Parsed(datagram)["Ats"]["Spd"], 36.5);

    run.plugin->SetBeaconData(BeaconData{0, 0, 0.0f, 0});
    run.Frame(1990, 0.0f);
    run.Frame(2010, 0.0f);
    got = receiver.Drain();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(Parsed(got[0])["Ats"]["Spd"], 0.0) << "stopped since the beacon";
}

TEST(Telemetry, StopDatagramOncePerSecondToItsOwnPortWithTheStationOfTheRoute) {
    Receiver status;
    Receiver stop;
    TelemetryRun run(true, true, status.listener.port, stop.listener.port);
    run.plugin->SetBeaconData(BeaconData{9, 0, 0.0f, 3});
    run.plugin->SetBeaconData(BeaconData{8, 0, 0.0f, 1});
    // From 999 to 1016 ms the second is crossed; from 1016 to 1033 it is not.
    run.Frame(983);
    run.Frame(999);
    EXPECT_TRUE(stop.Drain(50).empty());
    run.Frame(1016, 0.04f);
    run.Frame(1033);
    const std::vector<std::string> got = stop.Drain();
    ASSERT_EQ(got.size(), 1u);
    const ordered_json message = Parsed(got[0]); // its format: StopMessageText
    EXPECT_EQ(message["Time"], 1);
    EXPECT_EQ(message["Speed"], 0.0);
    EXPECT_EQ(message["Stop"], 1);
    EXPECT_EQ(message["StaId"], 3);
    // Opening the doors at the station clears the stop flag.
    run.plugin->DoorsOpened(true);
    run.Frame(2001);
    EXPECT_EQ(Parsed(stop.Drain().at(0))["Stop"], 0);
    // The first frame after loading spans the day so far, so it crossed 500 ms; 1000 and 2000
    // are status boundaries too.
    EXPECT_EQ(status.Drain().size(), 3u);
}

TEST(Telemetry, StopMessageText) {
    TelemetryFrame frame{.time = 45999,
                         .location = -12.7,
                         .speed = 0.04f,
                         .panelLocation = -15.9,
                         .stopStation = true,
                         .stationId = 3};
    char text[kStopTextSize];
    ASSERT_GT(FormatStopMessage(frame, text), 0u);
    EXPECT_STREQ(text, "{\"Time\":45, \"Location\":-12, \"PanelLocation\":15, \"Speed\":0.0, "
                       "\"Stop\":1, \"StaId\":3, \"Crawl\":{\"Speed\":0, \"Start\":0, "
                       "\"PanelStart\":0, \"Length\":0}}");
}

TEST(Telemetry, BothSendersOnOnePortAreToldApartByTheirFirstMember) {
    Receiver receiver;
    TelemetryRun run(true, true, receiver.listener.port, receiver.listener.port);
    run.Frame(990);
    receiver.Drain(); // the first frame spans the day so far
    run.Frame(1010);
    std::vector<std::string> first;
    for (const std::string& datagram : receiver.Drain())
        first.push_back(Keys(Parsed(datagram)).front());
    EXPECT_EQ(first, (std::vector<std::string>{"Ats", "Time"}));
}

TEST(Telemetry, SuspendedFramesAfterABoundaryRepeatTheStatusAndReportTheirOwnPosition) {
    Receiver status;
    Receiver stop;
    TelemetryRun run(true, true, status.listener.port, stop.listener.port);
    run.Frame(990, 10.0f);
    status.Drain();         // the first frame spans the day so far
    run.Frame(1010, 10.0f); // crosses 1000 ms
    run.Frame(1030, 80.0f, true);
    run.Frame(1050, 80.0f, true);
    EXPECT_EQ(status.Drain().size(), 3u);
    const std::vector<std::string> stops = stop.Drain();
    ASSERT_EQ(stops.size(), 3u);
    EXPECT_EQ(Parsed(stops[2])["Speed"], 80.0);
    // The next full frame crosses nothing, and neither do the suspended ones after it.
    run.Frame(1070, 10.0f);
    run.Frame(1090, 10.0f, true);
    EXPECT_TRUE(status.Drain(50).empty());
    EXPECT_TRUE(stop.Drain(0).empty());
}

TEST(Telemetry, DefaultsOpenNoSocket) {
    TelemetryRun run(false, false, 0, 0);
    for (std::int32_t t = 0; t < 3000; t += 16)
        run.Frame(t);
    EXPECT_FALSE(SenderOpen(run.plugin->telemetry.status));
    EXPECT_FALSE(SenderOpen(run.plugin->telemetry.stop));
}

TEST(Telemetry, DisposeClosesOnceAndTheRunStaysSilentAfterIt) {
    Receiver receiver;
    TelemetryRun run(true, false, receiver.listener.port, 0);
    run.Frame(490);
    run.Frame(510);
    EXPECT_EQ(receiver.Drain().size(), 1u);
    run.plugin->Dispose();
    run.plugin->Dispose();
    EXPECT_FALSE(SenderOpen(run.plugin->telemetry.status));
    run.Frame(1010);
    EXPECT_TRUE(receiver.Drain(50).empty());
}

TEST(UdpSender, ClosingAgainLeavesASocketThatReusedTheNumberAlone) {
    Receiver receiver;
    UdpSender first;
    ConfigureSender(first, "127.0.0.1", receiver.listener.port);
    ASSERT_TRUE(OpenSender(first));
    CloseSender(first);
    UdpSender second;
    ConfigureSender(second, "127.0.0.1", receiver.listener.port);
    ASSERT_TRUE(OpenSender(second)); // likely the very descriptor the first one had
    CloseSender(first);
    SendText(second, "{}", 3);
    EXPECT_EQ(receiver.Drain().size(), 1u);
    CloseSender(second);
}

TEST(UdpSender, BadDestinationsOpenNothingAndSendNothing) {
    Receiver receiver;
    const char* const hosts[] = {"localhost",       "300.1.1.1", "",
                                 "127.0.0.1:49200", "  ",        "1.2.3.4.5"};
    for (const char* host : hosts) {
        UdpSender sender;
        ConfigureSender(sender, host, receiver.listener.port);
        EXPECT_FALSE(OpenSender(sender)) << host;
        SendText(sender, "{}", 3);
        CloseSender(sender);
    }
    UdpSender noHost;
    EXPECT_FALSE(OpenSender(noHost));
    UdpSender portZero;
    ConfigureSender(portZero, "127.0.0.1", 0);
    EXPECT_FALSE(OpenSender(portZero));
    SendText(portZero, "{}", 3);
    EXPECT_TRUE(receiver.Drain(50).empty());

    // Blanks around an address are what a settings line easily carries; they are forgiven.
    UdpSender blanks;
    ConfigureSender(blanks, " 127.0.0.1 \r", receiver.listener.port);
    ASSERT_TRUE(OpenSender(blanks));
    SendText(blanks, "{}", 3);
    EXPECT_EQ(receiver.Drain().size(), 1u);
    CloseSender(blanks);
}

TEST(UdpSender, TextWithoutTerminatorInItsBufferIsNotSent) {
    Receiver receiver;
    UdpSender sender;
    ConfigureSender(sender, "127.0.0.1", receiver.listener.port);
    ASSERT_TRUE(OpenSender(sender));
    char full[16];
    std::memset(full, '7', sizeof full);
    SendText(sender, full, sizeof full);
    SendText(sender, nullptr, 10);
    EXPECT_TRUE(receiver.Drain(50).empty());
    SendText(sender, "{\"a\":1}\0garbage", 16); // only up to the first zero byte
    const std::vector<std::string> got = receiver.Drain();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], std::string("{\"a\":1}", 8));
    CloseSender(sender);
}

TEST(UdpSender, NoReceiverNeverBlocks) {
    platform::UdpListener unused;
    ASSERT_TRUE(platform::UdpListen(unused, "127.0.0.1", 0));
    const std::uint16_t port = unused.port;
    platform::UdpStopListening(unused); // nobody listens there now
    UdpSender sender;
    ConfigureSender(sender, "127.0.0.1", port);
    ASSERT_TRUE(OpenSender(sender));
    char text[kStopTextSize];
    std::memset(text, 'x', sizeof text - 1);
    text[sizeof text - 1] = '\0';
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 20000; ++i)
        SendText(sender, text, sizeof text);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(2));
    EXPECT_TRUE(SenderOpen(sender));
    CloseSender(sender);
}

TEST(TelemetryJson, ValuesThatAreNotNumbersStillGiveValidJson) {
    auto ptc = std::make_unique<PTC>();
    ptc->in = PtcFrame{.speed = NAN, .frameMs = 20, .atsMode = 4};
    ptc->sigDis = INFINITY;
    ptc->sigPtnDis = -INFINITY;
    ptc->limSpd = NAN;
    ptc->limDoMax = FLT_MAX;
    ptc->limDoDis = -FLT_MAX;
    ptc->nsdMode = 255;
    ptc->approachNo = INT32_MIN;
    const ordered_json status = ordered_json::parse(ptc->StatusJson(NAN));
    EXPECT_EQ(status["Ats"]["Spd"], 0.0);
    EXPECT_EQ(status["Sig"]["Dis"].get<double>(), static_cast<double>(FLT_MAX));
    EXPECT_EQ(status["Sig"]["PtnDis"].get<double>(), -static_cast<double>(FLT_MAX));
    EXPECT_EQ(status["Lim"]["Spd"], 0.0);
    EXPECT_EQ(status["NSD"]["Mode"], 255);
    EXPECT_LT(std::strlen(ptc->statusJson), sizeof ptc->statusJson / 2);

    TelemetryFrame frame{.time = 86'399'999,
                         .location = NAN,
                         .speed = INFINITY,
                         .panelLocation = -1e300,
                         .stopStation = false,
                         .stationId = INT32_MIN};
    char text[kStopTextSize];
    ASSERT_GT(FormatStopMessage(frame, text), 0u);
    const ordered_json stop = ordered_json::parse(text);
    EXPECT_EQ(stop["Time"], 86399);
    EXPECT_EQ(stop["Location"], 0);
    EXPECT_EQ(stop["PanelLocation"], INT32_MAX);
    EXPECT_EQ(stop["Speed"].get<double>(), static_cast<double>(FLT_MAX));
    frame.location = 1e12;
    FormatStopMessage(frame, text);
    EXPECT_EQ(ordered_json::parse(text)["Location"], INT32_MAX);
}

} // namespace
} // namespace velqa3
