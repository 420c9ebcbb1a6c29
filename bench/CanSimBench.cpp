// Exchanges per second through libCAN.so over the simulated CAN bus, with a simulated drive
// that answers at once: the library's and the bus's own cost per request and reply. With
// --paced the bus gives each frame its bit time at 500 kbit/s, and the figure stands beside
// that limit. Usage: can_sim_bench [SECONDS] [--paced]
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "can/CanFrame.h"
#include "drivesim/CanBusLine.h"
#include "drivesim/DriveSimulator.h"
#include "protocol/CanObjectAbi.h"
#include "protocol/DriveObjects.h"
#include "protocol/DriveProtocol.h"
#include "protocol/Rs232Frame.h"
#include "tests/support/TempFolder.h"

int main(int argc, char** argv) {
    double seconds = argc > 1 && argv[1][0] != '-' ? std::atof(argv[1]) : 3.0;
    bool paced = argc > 1 && std::string(argv[argc - 1]) == "--paced";
    tarvo::test::TempFolder folder;
    std::filesystem::create_directories(folder.File("data"));
    std::filesystem::copy_file(TARVO_LIBCAN_PATH, folder.File("data/libCAN.so"));
    folder.Write("sys/can.ini", "[can]\nbackend=sim\nsocket=dev/cansim0\n");

    tarvo::sim::DriveSimOptions options;
    options.folder = folder.Path();
    options.canSim = true;
    options.canPaced = paced;
    options.console = false;
    options.quiet = true;
    std::ostringstream out, err;
    tarvo::sim::DriveSimulator simulator(options, out, err);
    std::string error;
    if (!simulator.Start(TARVO_SOURCE_DICTIONARY, error)) {
        std::fprintf(stderr, "can_sim_bench: %s\n", error.c_str());
        return 1;
    }
    std::thread drive([&] { simulator.Run(); });

    void* library = ::dlopen(folder.File("data/libCAN.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    auto create = library != nullptr
                      ? reinterpret_cast<CanCreateObjectFn>(::dlsym(library, "CreateCanObject"))
                      : nullptr;
    CanObject* object = nullptr;
    if (create != nullptr) {
        create(&object);
    }
    CommSettings settings{};
    settings.nodeId = 1;
    settings.rate = 0x001C;
    settings.replyTimeoutMs = 500;
    if (object == nullptr || object->ops->Open(object, &settings) != 0) {
        std::fprintf(stderr, "can_sim_bench: libCAN.so cannot open the simulated bus\n");
        simulator.Stop();
        drive.join();
        return 1;
    }

    CanMessage request{};
    request.id = 0x601;
    request.length = 8;
    tarvo::Rs232Frame::Put(request.data, tarvo::ToByte(tarvo::SdoCommand::Read),
                           tarvo::DriveObject::kStatusWord, 0);
    std::vector<double> latencies;
    latencies.reserve(200000);
    size_t failures = 0;
    auto start = std::chrono::steady_clock::now();
    auto end = start + std::chrono::duration<double>(seconds);
    for (auto now = start; now < end;) {
        CanMessage reply{};
        bool ok = object->ops->Transmit(object, &request) == 0 &&
                  object->ops->Receive(object, &reply) == 0 &&
                  reply.data[0] == tarvo::ToByte(tarvo::SdoReplyCommand::Value16);
        auto after = std::chrono::steady_clock::now();
        if (!ok) {
            ++failures;
        }
        latencies.push_back(std::chrono::duration<double, std::micro>(after - now).count());
        now = after;
    }
    double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    object->ops->Release(object);
    ::dlclose(library);
    simulator.Stop();
    drive.join();

    std::sort(latencies.begin(), latencies.end());
    double rate = static_cast<double>(latencies.size()) / elapsed;
    std::printf(
        "simulated CAN bus%s, immediate reply: %zu exchanges in %.2f s = %.0f exchanges/s "
        "%s, %zu failed\n",
        paced ? " (paced)" : "", latencies.size(), elapsed, rate, paced ? "" : "(goal 10000)",
        failures);
    std::printf("exchange time: median %.1f us, 99th percentile %.1f us, longest %.1f us\n",
                latencies[latencies.size() / 2], latencies[latencies.size() * 99 / 100],
                latencies.back());
    if (paced) {
        tarvo::canbus::Frame frame;
        frame.length = 8;
        // A request and its reply, each 8 data bytes on an 11-bit identifier.
        double limitUs = 2.0 * tarvo::sim::CanBusLine::FrameBits(frame) * 1e6 / options.canBitRate;
        std::printf(
            "paced at %u bit/s: bus limit %.1f us an exchange = %.0f exchanges/s; mean "
            "%.3fx, median %.3fx the limit\n",
            options.canBitRate, limitUs, 1e6 / limitUs, 1e6 / limitUs / rate,
            latencies[latencies.size() / 2] / limitUs);
    }
    return failures == 0 ? 0 : 1;
}
