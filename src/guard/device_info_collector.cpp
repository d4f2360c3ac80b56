#include "guard/device_info_collector.h"

#include <sys/utsname.h>

#include <array>
#include <string>

#include "engine/gpu/opencl_device.h"
#include "guard/device_info_format.h"
#include "platform/sensors/cpu_info_reader.h"
#include "platform/sensors/device_identity_reader.h"
#include "platform/sensors/disk_info_reader.h"
#include "platform/sensors/dmi_reader.h"
#include "platform/sensors/gpu_info_reader.h"
#include "platform/sensors/host_name_reader.h"
#include "platform/sensors/mem_info_reader.h"
#include "platform/sensors/os_release_reader.h"
#include "platform/sensors/process_memory_reader.h"

namespace corvanta::guard {

namespace {

// The architecture the executable was built for, as the build's target triple names it.
constexpr const char* kBuildArchitecture =
#if defined(__x86_64__)
    "x86_64";
#elif defined(__aarch64__)
    "arm64";
#elif defined(__i386__)
    "i386";
#elif defined(__arm__)
    "arm";
#elif defined(__riscv) && __riscv_xlen == 64
    "riscv64";
#elif defined(__powerpc64__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    "ppc64le";
#elif defined(__s390x__)
    "s390x";
#elif defined(__loongarch64)
    "loongarch64";
#else
    "";
#endif

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

// The device the engine computes on, described.
std::optional<platform::GpuInfo> openClGpu() {
    const auto device = engine::gpu::OpenClDevice::selectDefault();
    if (!device) {
        return std::nullopt;
    }
    return platform::GpuInfo{device->productName(), device->vendor(), device->globalMemoryBytes()};
}

QString textOrUnavailable(const std::optional<std::string>& raw) {
    if (raw) {
        if (auto value = normalisedValue(*raw)) {
            return QString::fromStdString(*value);
        }
    }
    return text(std::string(kUnavailableText));
}

std::optional<std::string> normalised(const std::optional<std::string>& raw) {
    return raw ? normalisedValue(*raw) : std::nullopt;
}

struct NamedCode {
    std::string_view code;
    std::string_view name;
};

constexpr std::array<NamedCode, 7> kX86Vendors = {{
    {"GenuineIntel", "Intel"},
    {"AuthenticAMD", "AMD"},
    {"HygonGenuine", "Hygon"},
    {"CentaurHauls", "Centaur"},
    {"  Shanghai  ", "Zhaoxin"},
    {"VIA VIA VIA ", "VIA"},
    {"GenuineTMx86", "Transmeta"},
}};

struct NamedImplementer {
    unsigned code;
    std::string_view name;
};

constexpr std::array<NamedImplementer, 13> kArmImplementers = {{
    {0x41, "Arm"},
    {0x42, "Broadcom"},
    {0x43, "Cavium"},
    {0x46, "Fujitsu"},
    {0x48, "HiSilicon"},
    {0x4e, "NVIDIA"},
    {0x50, "Applied Micro"},
    {0x51, "Qualcomm"},
    {0x53, "Samsung"},
    {0x61, "Apple"},
    {0x69, "Intel"},
    {0x6d, "Microsoft"},
    {0xc0, "Ampere"},
}};

constexpr unsigned kAppleImplementer = 0x61;

std::string cpuManufacturer(const platform::CpuInfo& cpu, const std::string& brand) {
    if (cpu.vendorId) {
        // Vendor strings are 12 bytes, some padded with blanks that the reader trims away.
        for (const auto& vendor : kX86Vendors) {
            if (normalisedValue(vendor.code) == normalisedValue(*cpu.vendorId)) {
                return std::string(vendor.name);
            }
        }
    }
    if (cpu.implementer) {
        for (const auto& implementer : kArmImplementers) {
            if (implementer.code == *cpu.implementer) {
                return std::string(implementer.name);
            }
        }
    }
    if (brand.find("Intel") != std::string::npos) {
        return "Intel";
    }
    if (brand.find("AMD") != std::string::npos) {
        return "AMD";
    }
    return std::string(kUnavailableText);
}

// What names the processor when /proc/cpuinfo has no model name (ARM kernels print none).
std::string cpuBrand(const std::optional<std::string>& modelName, const platform::CpuInfo& cpu,
                     const std::optional<std::string>& productName, const std::string& machine) {
    if (modelName) {
        return *modelName;
    }
    if ((cpu.implementer && *cpu.implementer == kAppleImplementer) ||
        (productName && productName->find("Mac") != std::string::npos)) {
        return "Apple Silicon";
    }
    if (auto value = normalisedValue(machine)) {
        return *value;
    }
    return std::string(kUnavailableText);
}

std::string osText(const platform::OsRelease& release, const std::optional<std::string>& kernel) {
    if (auto pretty = normalised(release.prettyName)) {
        return *pretty;
    }
    if (auto name = normalised(release.name)) {
        if (auto version = normalised(release.versionId)) {
            return *name + " " + *version;
        }
        return *name;
    }
    // Like the other systems' "name major.minor": 6.1.0-18-amd64 gives "Linux 6.1".
    if (kernel) {
        const auto firstDot = kernel->find('.');
        const auto end = firstDot == std::string::npos
                             ? std::string::npos
                             : kernel->find_first_not_of("0123456789", firstDot + 1);
        return "Linux " + kernel->substr(0, end);
    }
    return "Linux";
}

}  // namespace

DeviceInfoCollector::DeviceInfoCollector(DeviceInfoCollectorOptions options)
    : options_(std::move(options)) {}

DeviceInfo DeviceInfoCollector::collect() const {
    const std::filesystem::path& root = options_.root;
    const QString unavailable = text(std::string(kUnavailableText));

    utsname system{};
    const bool hasSystem = uname(&system) == 0;
    const std::optional<std::string> kernel =
        hasSystem ? normalisedValue(system.release) : std::nullopt;
    const std::string machine = hasSystem ? system.machine : "";

    const platform::DmiInfo dmi = platform::DmiReader(root).read();
    const std::optional<std::string> productName = normalised(dmi.productName);
    const platform::DeviceIdentityReader identity(root);
    const platform::CpuInfo cpu = platform::CpuInfoReader(root).read();
    const std::optional<platform::MemInfo> memory = platform::MemInfoReader(root).read();
    const std::optional<std::uint64_t> totalMemory =
        memory ? std::optional(memory->totalBytes) : std::nullopt;

    DeviceInfo info;
    info.manufacturer = textOrUnavailable(dmi.sysVendor);
    info.serial = textOrUnavailable(identity.serialNumber());
    info.os = text(osText(platform::OsReleaseReader(root).read(), kernel));
    info.arch =
        textOrUnavailable(*kBuildArchitecture != '\0' ? std::string(kBuildArchitecture) : machine);
    info.model = textOrUnavailable(productName);
    info.uuid = textOrUnavailable(identity.platformUuid());
    info.kernel = textOrUnavailable(kernel);

    const std::optional<std::string> modelName = normalised(cpu.modelName);
    const std::string brand = cpuBrand(modelName, cpu, productName, machine);
    info.cpuManufacturer = text(cpuManufacturer(cpu, brand));
    info.cpuModel = text(modelName.value_or(brand));
    info.cpuBrand = text(brand);
    info.cpuSpeed =
        text(cpuSpeedText(cpu.maxFrequencyHz, cpu.currentFrequencyHz, brand, cpu.physicalCores,
                          cpu.logicalCores, options_.cpuCoresSuffix.toStdString()));
    info.cpuSpeedMax = info.cpuSpeed;
    info.cpuCores = QStringLiteral("%1/%2").arg(cpu.physicalCores).arg(cpu.logicalCores);

    info.memoryTotal = text(gigabytesText(totalMemory));
    info.memoryUsed = text(gigabytesText(platform::ProcessMemoryReader(root).residentBytes()));
    info.memoryFree =
        text(gigabytesText(memory ? std::optional(memory->availableBytes) : std::nullopt));

    std::optional<platform::GpuInfo> gpu = options_.useOpenCl ? openClGpu() : std::nullopt;
    if (!gpu) {
        gpu = platform::GpuInfoReader(root).read();
    }
    if (gpu) {
        info.gpuName = textOrUnavailable(gpu->name);
        info.gpuVendor = textOrUnavailable(gpu->vendor);
        const std::optional<std::string> megabytes =
            gpu->memoryBytes ? std::optional(std::to_string(*gpu->memoryBytes >> 20))
                             : std::nullopt;
        // A GPU without its own memory size (an integrated one) works in system memory.
        info.gpuVram = text(gpuMemoryText(megabytes, totalMemory));
    } else {
        info.gpuName = unavailable;
        info.gpuVendor = unavailable;
        info.gpuVram = unavailable;
    }
    info.gpuModel = info.gpuName;
    info.gpuDriver = unavailable;

    const std::optional<platform::DiskInfo> disk = platform::DiskInfoReader(root).read();
    const std::optional<std::string> fileSystem =
        disk ? normalised(disk->fileSystemType) : std::nullopt;
    info.diskName = textOrUnavailable(fileSystem);
    info.diskType = fileSystem ? text(diskTypeName(*fileSystem)) : unavailable;
    info.diskSize = text(gigabytesText(disk ? std::optional(disk->totalBytes) : std::nullopt));
    info.diskInterface = unavailable;
    info.diskVendor = unavailable;

    if (const auto image = productImageName(productName.value_or(std::string(kUnavailableText)))) {
        info.productImageName = text(*image);
    }
    info.productName = textOrUnavailable(platform::HostNameReader(root).read());
    return info;
}

}  // namespace corvanta::guard
