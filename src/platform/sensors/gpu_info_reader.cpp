#include "platform/sensors/gpu_info_reader.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <system_error>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/sensors/sysfs_file.h"

namespace corvanta::platform {

namespace {

struct PciVendor {
    unsigned id;
    std::string_view name;
    bool computes;  // makes GPUs, as opposed to display-only controllers
};

constexpr std::array<PciVendor, 11> kPciVendors = {{
    {0x10de, "NVIDIA", true},
    {0x1002, "AMD", true},
    {0x8086, "Intel", true},
    {0x5143, "Qualcomm", true},
    {0x1ed5, "Moore Threads", true},
    {0x1a03, "ASPEED", false},
    {0x102b, "Matrox", false},
    {0x15ad, "VMware", false},
    {0x1af4, "Red Hat", false},
    {0x1234, "QEMU", false},
    {0x1414, "Microsoft", false},
}};

// A PCI id file: "0x10de".
std::optional<unsigned> hexId(const std::filesystem::path& file) {
    const auto text = readTrimmedLine(file);
    return text ? parseNumber<unsigned>(*text, 16) : std::nullopt;
}

// The DRIVER= line of a device's uevent file.
std::optional<std::string> ueventDriver(const std::filesystem::path& file) {
    const auto text = readSmallFile(file);
    if (!text) {
        return std::nullopt;
    }
    for (const std::string_view line : textLines(*text)) {
        const auto field = keyAndValue(line, '=');
        if (field && field->first == "DRIVER" && !field->second.empty()) {
            return std::string(field->second);
        }
    }
    return std::nullopt;
}

// The index of "card0", "card1", …; nullopt for the connectors ("card0-HDMI-A-1") and the rest.
std::optional<int> cardIndex(const std::string& name) {
    if (name.size() <= 4 || !name.starts_with("card") ||
        !std::all_of(name.begin() + 4, name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    return std::atoi(name.c_str() + 4);
}

const PciVendor* findVendor(unsigned id) {
    const auto it = std::find_if(kPciVendors.begin(), kPciVendors.end(),
                                 [id](const PciVendor& vendor) { return vendor.id == id; });
    return it == kPciVendors.end() ? nullptr : &*it;
}

}  // namespace

GpuInfoReader::GpuInfoReader(std::filesystem::path root) : root_(std::move(root)) {}

std::optional<GpuInfo> GpuInfoReader::read() const {
    struct Candidate {
        bool computes = false;
        std::uint64_t vram = 0;
        int card = 0;
        GpuInfo info;
    };
    std::optional<Candidate> best;

    std::error_code error;
    std::filesystem::directory_iterator it(underRoot(root_, "/sys/class/drm"), error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        const auto index = cardIndex(it->path().filename().string());
        if (!index) {
            continue;
        }
        const auto device = it->path() / "device";
        Candidate candidate;
        candidate.card = *index;
        if (const auto vendorId = hexId(device / "vendor")) {
            const PciVendor* vendor = findVendor(*vendorId);
            char ids[32];
            std::snprintf(ids, sizeof ids, "[%04x:%04x]", *vendorId,
                          hexId(device / "device").value_or(0));
            candidate.computes = vendor != nullptr && vendor->computes;
            if (vendor) {
                candidate.info.vendor = std::string(vendor->name);
                candidate.info.name = std::string(vendor->name) + " GPU " + ids;
            } else {
                candidate.info.name = std::string("GPU ") + ids;
            }
        } else if (auto driver = ueventDriver(device / "uevent")) {
            // Not a PCI device (an SoC's GPU): the driver ("vc4", "panfrost") is all there is.
            candidate.info.name = std::move(*driver);
        } else {
            continue;
        }
        if (const auto vram = readInteger(device / "mem_info_vram_total"); vram && *vram > 0) {
            candidate.vram = static_cast<std::uint64_t>(*vram);
            candidate.info.memoryBytes = candidate.vram;
        }
        const auto rank = [](const Candidate& c) { return std::make_tuple(c.computes, c.vram); };
        // The directory lists cards in no particular order; ties go to the lowest card number.
        if (!best || rank(candidate) > rank(*best) ||
            (rank(candidate) == rank(*best) && candidate.card < best->card)) {
            best = std::move(candidate);
        }
    }
    if (!best) {
        return std::nullopt;
    }
    return best->info;
}

}  // namespace corvanta::platform
