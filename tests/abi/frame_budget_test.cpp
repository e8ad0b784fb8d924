// A frame that sends and writes nothing must cost the host nothing but time: no heap
// allocation and no system call, measured on the loaded library.
#include "platform/udp_receive.h"
#include "tests/abi/plugin_fixture.h"

#include <gtest/gtest.h>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#define VELQA3_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELQA3_ASAN 1
#endif
#endif

#if defined(VELQA3_ASAN)
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*,
                                                                          std::size_t),
                                                         void (*onFree)(const volatile void*));
#endif

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void NoteAllocation() {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1);
}

} // namespace

#if defined(VELQA3_ASAN)
// The sanitizer owns malloc; it reports every allocation to this hook instead.
namespace {
void OnMalloc(const volatile void*, std::size_t) {
    NoteAllocation();
}
void OnFree(const volatile void*) {}
[[maybe_unused]] const int hooksInstalled =
    __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
} // namespace
#else
// Interposed for the whole process, the plug-in library included: operator new and the C
// runtime both come through here.
extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void* malloc(std::size_t size) {
    NoteAllocation();
    return __libc_malloc(size);
}
extern "C" void* calloc(std::size_t count, std::size_t size) {
    NoteAllocation();
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* block, std::size_t size) {
    NoteAllocation();
    return __libc_realloc(block, size);
}
#endif

namespace velqa3::test {
namespace {

// A train with every optional stage fitted, panel and sound slots moved about.
constexpr const char* kBusyTrain = "[TRAIN]\nPlusBrake=1\nEmgBrake=1\nSnowBrake=50\nHoldBrake=1\n\n"
                                   "[EXTRA]\nOneman=1\nPowerDownMode=1\n\n"
                                   "[TASC]\nUse=1\nMode=1\nPlatformDoor=2\n\n"
                                   "[MEITETSU]\nPRR=1\nOSR=1\n\n"
                                   "[JRC313]\nT-PriorityStart=30\n\n"
                                   "[DC25]\nMode=2\n\n"
                                   "[PANEL]\nStation=3\nCarNumber=1\nUnit2-KasenV=1800\n\n"
                                   "[PANELOUTPUT]\n121=50\n\n"
                                   "[SOUNDOUTPUT]\n020=199\n";

// Frames of a run at speed, with the driver moving the handles and working the keys between
// them, and display beacons passing.
void RunFrames(const sim::PluginLibrary::EntryPoints& api, int frames, std::int32_t* panel,
               std::int32_t* sound) {
    for (int i = 0; i < frames; ++i) {
        // Stay clear of the 500 ms and 1000 ms boundaries at which telemetry may be sent.
        const std::int32_t time = 36'000'010 + (i % 20) * 20;
        api.SetPower(i % 6);
        api.SetBrake(i % 9);
        if (i % 7 == 0) api.KeyDown(i % 16);
        if (i % 7 == 3) api.KeyUp(i % 16);
        if (i % 50 == 0) api.SetBeaconData(BeaconData{245 + i % 11, 0, 0.0f, i});
        VehicleState state = StateAt(time, 40.0f + static_cast<float>(i % 10), 100.0 + i);
        state.Current = static_cast<float>(i % 600) - 300.0f;
        api.Elapse(state, panel, sound);
    }
}

class AbiFrameBudget : public testing::TestWithParam<const char*> {};

TEST_P(AbiFrameBudget, ElapseAllocatesNothing) {
    LoadedPlugin plugin(GetParam() != nullptr ? std::optional<std::string>(GetParam())
                                              : std::nullopt);
    plugin.StartRun();
    std::int32_t panel[256] = {}, sound[256] = {};
    RunFrames(plugin.api(), 10, panel, sound); // warm up lazy binding
    allocations = 0;
    counting = true;
    RunFrames(plugin.api(), 2000, panel, sound);
    counting = false;
    EXPECT_EQ(allocations.load(), 0);

    // The counter does see the plug-in's allocations: attaching reads the settings file.
    counting = true;
    LoadedPlugin another("[TRAIN]\nHoldBrake=1\n");
    counting = false;
    EXPECT_GT(allocations.load(), 0);
}

// TASC braking for a stop and holding at it, and the platform doors opening and closing with
// the train's, between busy frames. Returns the highest brake output.
std::int32_t RunStationStops(const sim::PluginLibrary::EntryPoints& api, int stops,
                             std::int32_t* panel, std::int32_t* sound) {
    std::int32_t highest = 0;
    // A train whose position follows its speed, so the slip check sees no slip.
    std::int32_t time = 36'000'010;
    double location = 100.0;
    for (int stop = 0; stop < stops; ++stop) {
        for (int i = 0; i < 100; ++i) {
            if (i == 1) { // beacons reach TASC only from a moving train
                api.SetBeaconData(BeaconData{122, 0, 0.0f, 2});
                api.SetBeaconData(BeaconData{120, 0, 0.0f, 30});
            }
            const float speed = i < 90 ? 60.0f - static_cast<float>(i) * 0.6f : 0.0f;
            time += 20;
            location += speed / 3.6 * 0.02;
            const HandleOutput out = api.Elapse(StateAt(time, speed, location), panel, sound);
            if (out.Brake > highest) highest = out.Brake;
        }
        api.DoorOpen();
        api.DoorClose();
        api.SetBrake(5);
        api.Elapse(StateAt(time += 20, 0.0f, location), panel, sound);
        api.SetBrake(0);
    }
    return highest;
}

// Runs work in a child process that the kernel kills at its first system call other than the
// final exit; returns the child's wait status.
template <typename Work> int RunWithoutSystemCalls(Work work) {
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        sock_filter filter[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_exit_group, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
        };
        sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
        if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) _exit(3);
        if (prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) _exit(4);
        work();
        syscall(SYS_exit_group, 0);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) return -1;
    return status;
}

TEST_P(AbiFrameBudget, ElapseMakesNoSystemCall) {
    LoadedPlugin plugin(GetParam() != nullptr ? std::optional<std::string>(GetParam())
                                              : std::nullopt);
    plugin.StartRun();
    std::int32_t panel[256] = {}, sound[256] = {};
    RunFrames(plugin.api(), 10, panel, sound);
    const int status = RunWithoutSystemCalls([&] { RunFrames(plugin.api(), 2000, panel, sound); });
    ASSERT_TRUE(WIFEXITED(status))
        << "killed by signal " << WTERMSIG(status) << ": a frame made a system call";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // The watch itself does catch a call.
    EXPECT_TRUE(WIFSIGNALED(RunWithoutSystemCalls([] { syscall(SYS_getpid); })));
}

TEST(AbiStageBudget, TascStopsAndPlatformDoorsAllocateAndCallNothing) {
    LoadedPlugin plugin("[TASC]\nUse=1\nMode=2\nPlatformDoor=1\nPDClose=100\n");
    plugin.StartRun();
    plugin.api().SetReverser(1); // a train moving in neutral is braked as rolling away
    std::int32_t panel[256] = {}, sound[256] = {};
    RunStationStops(plugin.api(), 1, panel, sound);
    allocations = 0;
    counting = true;
    const std::int32_t highest = RunStationStops(plugin.api(), 20, panel, sound);
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_GT(highest, 9); // TASC braked, on its notches past the emergency notch
    const int stops =
        RunWithoutSystemCalls([&] { RunStationStops(plugin.api(), 20, panel, sound); });
    EXPECT_TRUE(WIFEXITED(stops) && WEXITSTATUS(stops) == 0) << "a station stop made a system call";
}

// With a run record on, only the frames that cross a 100 ms boundary open the file.
TEST(AbiStageBudget, RecordingFramesBetweenLinesMakeNoSystemCall) {
    LoadedPlugin plugin("[TRAIN]\nDefault=1\n\n[EXTRA]\nKiroku=3\n");
    plugin.StartRun();
    std::int32_t panel[256] = {}, sound[256] = {};
    const auto between = [&] {
        for (int i = 0; i < 2000; ++i) // 36 000 110 to 36 000 190, and back
            plugin.api().Elapse(StateAt(36'000'110 + (i % 5) * 20, 40.0f), panel, sound);
    };
    between();
    const int status = RunWithoutSystemCalls(between);
    ASSERT_TRUE(WIFEXITED(status)) << "a frame that wrote no record line made a system call";
    // The record is live: the frame that crosses 36 000 200 opens the file.
    EXPECT_TRUE(WIFSIGNALED(RunWithoutSystemCalls(
        [&] { plugin.api().Elapse(StateAt(36'000'210, 40.0f), panel, sound); })));
    plugin.api().Elapse(StateAt(36'000'310, 40.0f), panel, sound);
    EXPECT_TRUE(std::filesystem::exists(plugin.folder() / "velqa3.csv"));
}

// The busy frame: the pattern protection counting down to a signal at stop, TASC to its
// stop, the vigilance timing, the line voltage of two units and both datagrams enabled with
// a receiver listening, in frames that cross no telemetry boundary.
TEST(AbiStageBudget, BusyFrameWithEveryStageOnAllocatesAndCallsNothing) {
    // A port the settings take (49152 and up); any free one of the system's may lie below.
    platform::UdpListener receiver;
    bool bound = false;
    for (int port = 49400 + getpid() % 8000; !bound && port < 65536; port += 7)
        bound = platform::UdpListen(receiver, "127.0.0.1", static_cast<std::uint16_t>(port));
    ASSERT_TRUE(bound);
    const std::string port = std::to_string(receiver.port);
    LoadedPlugin plugin(std::string(kBusyTrain) + "\n[SENDDATA]\nMode=1\nHost=127.0.0.1\nPort=" +
                        port + "\nCastMode=1\nCastHost=127.0.0.1\nCastPort=" + port + "\n");
    plugin.StartRun();
    const auto& api = plugin.api();
    std::int32_t panel[256] = {}, sound[256] = {};
    const auto road = [&] {
        api.SetBeaconData(BeaconData{50, 0, 0.0f, 4});
        api.SetBeaconData(BeaconData{60, 0, 3000.0f, 0});
        api.SetBeaconData(BeaconData{120, 0, 0.0f, 2500});
    };
    RunFrames(api, 10, panel, sound);
    road();
    RunFrames(api, 10, panel, sound);
    allocations = 0;
    counting = true;
    RunFrames(api, 2000, panel, sound);
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
    road();
    const int status = RunWithoutSystemCalls([&] { RunFrames(api, 2000, panel, sound); });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a busy frame made a system call";
    // The telemetry is live: a frame across a 500 ms boundary sends, and the receiver hears it.
    api.Elapse(StateAt(36'000'510, 40.0f, 2200.0), panel, sound);
    char datagram[2048];
    EXPECT_GT(platform::UdpReceive(receiver, datagram, sizeof datagram, 2000), 0);
    platform::UdpStopListening(receiver);
}

INSTANTIATE_TEST_SUITE_P(Trains, AbiFrameBudget, testing::Values(nullptr, kBusyTrain),
                         [](const testing::TestParamInfo<const char*>& train) {
                             return std::string(train.param == nullptr ? "Plain" : "Busy");
                         });

} // namespace
} // namespace velqa3::test
