#include "tools/usb_vm/bare_round_trips.h"

#include <algorithm>
#include <latch>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "engine/boot_loader_protocol.h"
#include "link/platform/linux/libusb_handles.h"

namespace vantorel::usb_vm {

namespace {

using link::linux_platform::LibusbConfigPtr;
using link::linux_platform::LibusbDeviceList;
using link::linux_platform::LibusbHandlePtr;

constexpr uint16_t kVendor = 0x1209;
constexpr uint16_t kProduct = 0x0001;
constexpr unsigned kTransferBound = 10000;  // ms; a gadget that stops answering fails the run

// One handset opened with plain libusb: interface 0 claimed, its two bulk endpoints found.
struct BareHandset {
    LibusbHandlePtr handle;
    uint8_t inEndpoint = 0;
    uint8_t outEndpoint = 0;
    uint16_t inPacketSize = 0;
    std::vector<engine::Packet> packets;  // built before the clock starts
    std::vector<uint32_t> sums;
    std::string failure;
};

std::optional<BareHandset> OpenBare(libusb_device* device, std::string& failure) {
    libusb_device_handle* raw = nullptr;
    if (const int rc = libusb_open(device, &raw); rc != 0) {
        failure = std::string("libusb_open: ") + libusb_error_name(rc);
        return std::nullopt;
    }
    BareHandset handset;
    handset.handle.reset(raw);
    libusb_config_descriptor* rawConfig = nullptr;
    if (const int rc = libusb_get_active_config_descriptor(device, &rawConfig); rc != 0) {
        failure = std::string("no configuration: ") + libusb_error_name(rc);
        return std::nullopt;
    }
    const LibusbConfigPtr config(rawConfig);
    if (config->bNumInterfaces < 1 || config->interface[0].num_altsetting < 1) {
        failure = "no interface 0";
        return std::nullopt;
    }
    const libusb_interface_descriptor& alt = config->interface[0].altsetting[0];
    for (uint8_t i = 0; i < alt.bNumEndpoints; ++i) {
        const libusb_endpoint_descriptor& endpoint = alt.endpoint[i];
        if ((endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK) {
            continue;
        }
        if ((endpoint.bEndpointAddress & LIBUSB_ENDPOINT_IN) != 0) {
            handset.inEndpoint = endpoint.bEndpointAddress;
            handset.inPacketSize = endpoint.wMaxPacketSize;
        } else {
            handset.outEndpoint = endpoint.bEndpointAddress;
        }
    }
    if (handset.inEndpoint == 0 || handset.outEndpoint == 0) {
        failure = "interface 0 lacks a bulk IN or OUT endpoint";
        return std::nullopt;
    }
    if (const int rc = libusb_claim_interface(handset.handle.get(), 0); rc != 0) {
        failure = std::string("libusb_claim_interface: ") + libusb_error_name(rc);
        return std::nullopt;
    }
    return handset;
}

std::vector<libusb_device*> ListHandsets(const LibusbDeviceList& list) {
    std::vector<libusb_device*> found;
    for (libusb_device* device : list.Devices()) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(device, &descriptor) == 0 &&
            descriptor.idVendor == kVendor && descriptor.idProduct == kProduct) {
            found.push_back(device);
        }
    }
    return found;
}

// One message out and one reply in; the reply's length, or nothing on any libusb error.
// The read asks for a whole packet, so that a reply is never an overflow.
std::optional<int> RoundTrip(BareHandset& handset, const uint8_t* message, int length,
                             uint8_t* reply) {
    int moved = 0;
    if (libusb_bulk_transfer(handset.handle.get(), handset.outEndpoint,
                             const_cast<uint8_t*>(message), length, &moved, kTransferBound) != 0 ||
        moved != length) {
        return std::nullopt;
    }
    if (libusb_bulk_transfer(handset.handle.get(), handset.inEndpoint, reply, handset.inPacketSize,
                             &moved, kTransferBound) != 0) {
        return std::nullopt;
    }
    return moved;
}

bool ExpectOkud(BareHandset& handset, const uint8_t* message, int length, const char* what) {
    std::vector<uint8_t> reply(handset.inPacketSize);
    const auto got = RoundTrip(handset, message, length, reply.data());
    if (!got || *got != 4 ||
        !std::equal(engine::kReplyOkud.begin(), engine::kReplyOkud.end(), reply.begin())) {
        handset.failure = std::string(what) + " was not answered OKUD";
        return false;
    }
    return true;
}

// Greets and announces the RAM download, then builds every data packet.
bool Prepare(BareHandset& handset, uint32_t roundTrips) {
    if (!ExpectOkud(handset, engine::kGreeting.data(), engine::kReplySize, "the greeting")) {
        return false;
    }
    engine::Packet command{};
    engine::BuildCommandPacket(command, engine::kCmdStartRamDownload, 0, roundTrips, 0);
    if (!ExpectOkud(handset, command.data(), engine::kPacketSize, "command 7")) {
        return false;
    }
    handset.packets.resize(roundTrips);
    handset.sums.resize(roundTrips);
    for (uint32_t i = 0; i < roundTrips; ++i) {
        engine::Packet& packet = handset.packets[i];
        uint8_t* payload = engine::PayloadOf(packet);
        for (size_t b = 0; b < engine::kPacketPayloadSize; ++b) {
            payload[b] = static_cast<uint8_t>(i * 31 + b);
        }
        handset.sums[i] =
            engine::SealDataPacket(packet, static_cast<uint32_t>(i * engine::kPacketPayloadSize),
                                   engine::kPacketPayloadSize);
    }
    return true;
}

void RunRoundTrips(BareHandset& handset) {
    std::vector<uint8_t> reply(handset.inPacketSize);
    for (size_t i = 0; i < handset.packets.size(); ++i) {
        const auto got = RoundTrip(handset, handset.packets[i].data(),
                                   static_cast<int>(engine::kPacketSize), reply.data());
        if (!got || *got != 4 || engine::LoadLe32(reply.data()) != handset.sums[i]) {
            handset.failure = "round trip " + std::to_string(i) + " got no matching echo";
            return;
        }
    }
}

}  // namespace

BareRoundTripReport RunBareRoundTrips(int handsets, uint32_t roundTrips,
                                      std::chrono::milliseconds presentBound) {
    BareRoundTripReport report;
    // The gadgets bind one after another. A libusb session's device list is filled when it
    // starts (no udevd runs to tell it of later arrivals), so each look is a fresh session;
    // the one that found them all stays open with the handsets.
    const auto deadline = std::chrono::steady_clock::now() + presentBound;
    std::shared_ptr<libusb_context> context;
    std::vector<BareHandset> opened;
    for (;;) {
        context = link::linux_platform::MakeLibusbContext();
        if (!context) {
            report.failure = "libusb did not initialise";
            return report;
        }
        const LibusbDeviceList list(context.get());
        const auto found = ListHandsets(list);
        if (found.size() >= static_cast<size_t>(handsets)) {
            for (int i = 0; i < handsets; ++i) {
                auto handset = OpenBare(found[static_cast<size_t>(i)], report.failure);
                if (!handset) {
                    return report;
                }
                opened.push_back(std::move(*handset));
            }
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            report.failure = "fewer than " + std::to_string(handsets) + " handsets on the bus";
            return report;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    for (BareHandset& handset : opened) {
        if (!Prepare(handset, roundTrips)) {
            report.failure = handset.failure;
            return report;
        }
    }

    std::latch ready(handsets + 1);
    std::latch go(1);
    std::vector<std::jthread> workers;
    for (BareHandset& handset : opened) {
        workers.emplace_back([&] {
            ready.count_down();
            go.wait();
            RunRoundTrips(handset);
        });
    }
    ready.arrive_and_wait();
    const auto cpuBefore = ProcessCpu::Now();
    const auto started = std::chrono::steady_clock::now();
    go.count_down();
    workers.clear();  // joins
    report.wall = std::chrono::steady_clock::now() - started;
    report.cpu = ProcessCpu::Now() - cpuBefore;

    for (const BareHandset& handset : opened) {
        if (!handset.failure.empty()) {
            report.failure = handset.failure;
            return report;
        }
        report.roundTrips += handset.packets.size();
    }
    report.bytesOut = report.roundTrips * engine::kPacketSize;
    report.bPassed = true;
    return report;
}

}  // namespace vantorel::usb_vm
