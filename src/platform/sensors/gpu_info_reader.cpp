#include "platform/sensors/gpu_info_reader.h"

#include <CL/cl.h>

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

// cl_ext.h's CL_DEVICE_BOARD_NAME_AMD, kept here so the header set stays the core one.
constexpr cl_device_info kDeviceBoardNameAmd = 0x4038;

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

std::string trimmedText(std::string text) {
    text.erase(std::find(text.begin(), text.end(), '\0'), text.end());
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string deviceString(cl_device_id device, cl_device_info what) {
    std::size_t size = 0;
    if (clGetDeviceInfo(device, what, 0, nullptr, &size) != CL_SUCCESS || size == 0) {
        return {};
    }
    std::string text(size, '\0');
    if (clGetDeviceInfo(device, what, size, text.data(), nullptr) != CL_SUCCESS) {
        return {};
    }
    return trimmedText(std::move(text));
}

std::optional<cl_device_id> firstDevice(const std::vector<cl_platform_id>& platforms,
                                        cl_device_type type) {
    for (const cl_platform_id platform : platforms) {
        cl_device_id device = nullptr;
        cl_uint count = 0;
        if (clGetDeviceIDs(platform, type, 1, &device, &count) == CL_SUCCESS && count > 0 &&
            device != nullptr) {
            return device;
        }
    }
    return std::nullopt;
}

std::optional<unsigned> hexId(const std::filesystem::path& file) {
    const auto text = readTrimmedLine(file);
    if (!text) {
        return std::nullopt;
    }
    unsigned value = 0;
    if (std::sscanf(text->c_str(), "%x", &value) != 1) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::string> ueventDriver(const std::filesystem::path& file) {
    const auto text = readSmallFile(file);
    if (!text) {
        return std::nullopt;
    }
    constexpr std::string_view key = "DRIVER=";
    std::string_view rest(*text);
    while (!rest.empty()) {
        const auto newline = rest.find('\n');
        const std::string_view line = rest.substr(0, newline);
        rest = newline == std::string_view::npos ? std::string_view{} : rest.substr(newline + 1);
        if (line.starts_with(key) && line.size() > key.size()) {
            return std::string(line.substr(key.size()));
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

GpuInfoOptions GpuInfoOptions::fromEnvironment() {
    GpuInfoOptions options;
    const char* device = std::getenv("CORVANTA_OPENCL_DEVICE");
    options.acceptCpuDevices = device != nullptr && std::string_view(device) == "any";
    return options;
}

GpuInfoReader::GpuInfoReader(std::filesystem::path root, GpuInfoOptions options)
    : root_(std::move(root)), options_(options) {}

std::optional<GpuInfo> GpuInfoReader::read() const {
    if (options_.useOpenCl) {
        if (auto gpu = readOpenCl()) {
            return gpu;
        }
    }
    return readDrm();
}

std::optional<GpuInfo> GpuInfoReader::readOpenCl() const {
    cl_uint platformCount = 0;
    if (clGetPlatformIDs(0, nullptr, &platformCount) != CL_SUCCESS || platformCount == 0) {
        return std::nullopt;
    }
    std::vector<cl_platform_id> platforms(platformCount);
    if (clGetPlatformIDs(platformCount, platforms.data(), &platformCount) != CL_SUCCESS) {
        return std::nullopt;
    }
    platforms.resize(platformCount);

    auto device = firstDevice(platforms, CL_DEVICE_TYPE_GPU);
    if (!device && options_.acceptCpuDevices) {
        device = firstDevice(platforms, CL_DEVICE_TYPE_CPU);
    }
    if (!device) {
        return std::nullopt;
    }

    GpuInfo info;
    // AMD's device name is the chip's code name ("gfx1030"); the board name is what users know.
    if (deviceString(*device, CL_DEVICE_EXTENSIONS).find("cl_amd_device_attribute_query") !=
        std::string::npos) {
        info.name = deviceString(*device, kDeviceBoardNameAmd);
    }
    if (info.name.empty()) {
        info.name = deviceString(*device, CL_DEVICE_NAME);
    }
    info.vendor = deviceString(*device, CL_DEVICE_VENDOR);
    cl_ulong memory = 0;
    if (clGetDeviceInfo(*device, CL_DEVICE_GLOBAL_MEM_SIZE, sizeof memory, &memory, nullptr) ==
            CL_SUCCESS &&
        memory > 0) {
        info.memoryBytes = memory;
    }
    if (info.name.empty()) {
        return std::nullopt;
    }
    return info;
}

std::optional<GpuInfo> GpuInfoReader::readDrm() const {
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
