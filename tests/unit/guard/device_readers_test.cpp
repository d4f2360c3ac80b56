#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <cstdlib>

#include "engine/gpu/opencl_device.h"
#include "guard/device_info_collector.h"
#include "platform/sensors/cpu_info_reader.h"
#include "platform/sensors/device_identity_reader.h"
#include "platform/sensors/disk_info_reader.h"
#include "platform/sensors/dmi_reader.h"
#include "platform/sensors/gpu_info_reader.h"
#include "platform/sensors/host_name_reader.h"
#include "platform/sensors/os_release_reader.h"
#include "platform/sensors/process_memory_reader.h"
#include "platform/sensors/shell_assignments.h"
#include "unit/guard/sensor_fixture.h"

namespace corvanta::platform {
namespace {

using guard::testing::SensorFixture;

constexpr const char* kMachineId = "0123456789abcdef0123456789abcdef";
// HMAC-SHA-256("com.corvanta.client", kMachineId), first 16 bytes; from `openssl dgst -hmac`.
constexpr const char* kMachineIdHash = "e1006b46244f761705922cbb86cc92e6";

TEST(DeviceIdentityReader, DmiSerialWhenRealElseMachineIdHash) {
    SensorFixture fixture;
    const DeviceIdentityReader identity(fixture.root());
    EXPECT_FALSE(identity.serialNumber());
    EXPECT_FALSE(identity.platformUuid());

    fixture.write("/sys/class/dmi/id/sys_vendor", "LENOVO\n");
    fixture.write("/sys/class/dmi/id/product_name", "20XW0026GE\n");
    fixture.write("/sys/class/dmi/id/product_serial", "  PF2ABCDE \n");
    fixture.write("/sys/class/dmi/id/product_uuid", "4c4c4544-0042-3510-8052-b4c04f4e4d32\n");
    fixture.write("/etc/machine-id", std::string(kMachineId) + "\n");
    const DmiInfo dmi = DmiReader(fixture.root()).read();
    EXPECT_EQ(dmi.sysVendor, "LENOVO");
    EXPECT_EQ(dmi.productName, "20XW0026GE");
    EXPECT_EQ(identity.serialNumber(), "PF2ABCDE");
    EXPECT_EQ(identity.platformUuid(), "4c4c4544-0042-3510-8052-b4c04f4e4d32");

    // Fillers left by board makers identify nothing; the machine id stands in.
    for (const char* filler :
         {"To Be Filled By O.E.M.", "to be filled by o.e.m.", "Default string", "0", "00000000", "",
          "   ", "System Serial Number", "Not Specified", "None", "........"}) {
        fixture.write("/sys/class/dmi/id/product_serial", std::string(filler) + "\n");
        EXPECT_EQ(identity.serialNumber(), kMachineIdHash) << "serial '" << filler << "'";
    }
    // Unreadable (root-only on a desktop) is the same as missing.
    fixture.remove("/sys/class/dmi/id/product_serial");
    EXPECT_EQ(identity.serialNumber(), kMachineIdHash);
    EXPECT_EQ(DeviceIdentityReader::machineIdentityHash("0123456789ABCDEF0123456789ABCDEF"),
              kMachineIdHash);
    EXPECT_EQ(DeviceIdentityReader::machineIdentityHash("3d1219c7c4c5404aaa1f6d2a48adfda4"),
              "9ddf731a3248fe485a8428d4577ac1d5");

    for (const char* filler :
         {"00000000-0000-0000-0000-000000000000", "FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF",
          "03000200-0400-0500-0006-000700080009"}) {
        fixture.write("/sys/class/dmi/id/product_uuid", std::string(filler) + "\n");
        EXPECT_EQ(identity.platformUuid(), "01234567-89ab-cdef-0123-456789abcdef") << filler;
    }

    // A machine id that is not yet written, or not one, is no identity; D-Bus's copy is.
    fixture.write("/etc/machine-id", "uninitialized\n");
    EXPECT_FALSE(identity.machineId());
    EXPECT_FALSE(identity.serialNumber());
    fixture.write("/etc/machine-id", "0123456789abcdef0123456789abcdeg\n");
    EXPECT_FALSE(identity.serialNumber());
    fixture.write("/var/lib/dbus/machine-id", "0123456789ABCDEF0123456789ABCDEF");
    EXPECT_EQ(identity.machineId(), kMachineId);
    EXPECT_EQ(identity.serialNumber(), kMachineIdHash);
}

TEST(DmiReader, FillersAreAbsentInEveryField) {
    SensorFixture fixture;
    fixture.write("/sys/class/dmi/id/sys_vendor", "System manufacturer\n");
    fixture.write("/sys/class/dmi/id/product_name", "System Product Name\n");
    const DmiInfo dmi = DmiReader(fixture.root()).read();
    EXPECT_FALSE(dmi.sysVendor);
    EXPECT_FALSE(dmi.productName);
    // Real names that merely contain a filler word survive.
    EXPECT_FALSE(DmiReader::isPlaceholder("OEM Laptop 15"));
    EXPECT_FALSE(DmiReader::isPlaceholder("A0"));
    EXPECT_TRUE(DmiReader::isPlaceholder(" O.E.M. "));
}

TEST(OsReleaseReader, ShellQuotingAndFallbackFile) {
    SensorFixture fixture;
    EXPECT_FALSE(OsReleaseReader(fixture.root()).read().prettyName);

    fixture.write("/usr/lib/os-release", "PRETTY_NAME=\"Vendor Linux\"\n");
    EXPECT_EQ(OsReleaseReader(fixture.root()).read().prettyName, "Vendor Linux");

    // /etc/os-release replaces the vendor file entirely when present.
    fixture.write("/etc/os-release",
                  "# comment\n"
                  "NAME='Debian GNU/Linux'\n"
                  "VERSION_ID=12\n"
                  "  PRETTY_NAME=\"Debian \\\"GNU\\\"/Linux 12 \\$HOME \\\\ (bookworm)\"  \n");
    OsRelease release = OsReleaseReader(fixture.root()).read();
    EXPECT_EQ(release.prettyName, "Debian \"GNU\"/Linux 12 $HOME \\ (bookworm)");
    EXPECT_EQ(release.name, "Debian GNU/Linux");
    EXPECT_EQ(release.versionId, "12");

    fixture.write("/etc/os-release", "NAME=Fedora\\ Linux\nPRETTY_NAME=\"broken\nPRETTY_NAME=\n");
    release = OsReleaseReader(fixture.root()).read();
    EXPECT_EQ(release.name, "Fedora Linux");
    EXPECT_FALSE(release.prettyName);

    const ShellAssignments fields = parseShellAssignments(
        "A=\"x\"'y'z\n1BAD=x\nB-AD=y\nSINGLE='a \\\" b'\nEMPTY=\n=novalue\nA=again");
    EXPECT_EQ(fields.at("A"), "again");
    EXPECT_EQ(fields.at("SINGLE"), "a \\\" b");
    EXPECT_EQ(fields.at("EMPTY"), "");
    EXPECT_EQ(fields.size(), 3u);
    EXPECT_EQ(parseShellAssignments("A=\"x\"'y'z").at("A"), "xyz");
}

TEST(HostNameReader, PrettyHostNameElseKernelHostName) {
    SensorFixture fixture;
    const auto kernelName = HostNameReader(fixture.root()).read();
    ASSERT_TRUE(kernelName);
    fixture.write("/etc/machine-info", "PRETTY_HOSTNAME=\"  Anna's Laptop \"\n");
    EXPECT_EQ(HostNameReader(fixture.root()).read(), "Anna's Laptop");
    fixture.write("/etc/machine-info", "PRETTY_HOSTNAME=\" \"\n");
    EXPECT_EQ(HostNameReader(fixture.root()).read(), kernelName);
}

void writeCpu(const SensorFixture& fixture, int cpu, const std::string& siblings,
              std::optional<long> maxKHz) {
    const std::string dir = "/sys/devices/system/cpu/cpu" + std::to_string(cpu);
    fixture.write(dir + "/topology/thread_siblings_list", siblings + "\n");
    if (maxKHz) {
        fixture.write(dir + "/cpufreq/cpuinfo_max_freq", std::to_string(*maxKHz) + "\n");
    }
}

TEST(CpuInfoReader, IntelWithHyperThreadsAndCpufreq) {
    SensorFixture fixture;
    const CpuInfo none = CpuInfoReader(fixture.root()).read();
    EXPECT_FALSE(none.modelName);
    EXPECT_EQ(none.physicalCores, 0);
    EXPECT_EQ(none.logicalCores, 0);

    // Two cores with two threads each; a hybrid part whose cores differ in top clock.
    std::string cpuinfo;
    for (int cpu = 0; cpu < 4; ++cpu) {
        cpuinfo += "processor\t: " + std::to_string(cpu) +
                   "\nvendor_id\t: GenuineIntel\n"
                   "model name\t: Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz\n"
                   "cpu MHz\t\t: " +
                   std::string(cpu == 0 ? "799.998" : "4600.000") +
                   "\nphysical id\t: 0\n"
                   "core id\t\t: " +
                   std::to_string(cpu / 2) + "\nflags\t\t: fpu vme\n\n";
    }
    fixture.write("/proc/cpuinfo", cpuinfo);
    writeCpu(fixture, 0, "0-1", 3'200'000);
    writeCpu(fixture, 1, "0-1", 3'200'000);
    writeCpu(fixture, 2, "2-3", 4'700'000);
    writeCpu(fixture, 3, "2-3", std::nullopt);

    const CpuInfo cpu = CpuInfoReader(fixture.root()).read();
    EXPECT_EQ(cpu.modelName, "Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz");
    EXPECT_EQ(cpu.vendorId, "GenuineIntel");
    EXPECT_FALSE(cpu.implementer);
    EXPECT_EQ(cpu.maxFrequencyHz, 4'700'000'000u);
    EXPECT_EQ(cpu.currentFrequencyHz, 799'998'000u);
    EXPECT_EQ(cpu.physicalCores, 2);
    EXPECT_EQ(cpu.logicalCores, 4);
}

TEST(CpuInfoReader, TwoSocketAmdWithoutCpufreq) {
    SensorFixture fixture;
    // Core ids repeat across sockets, so cores are counted per (socket, core).
    std::string cpuinfo;
    for (int cpu = 0; cpu < 4; ++cpu) {
        cpuinfo += "processor\t: " + std::to_string(cpu) +
                   "\nvendor_id\t: AuthenticAMD\nmodel name\t: AMD EPYC 7B13\n"
                   "cpu MHz\t\t: 2449.998\nphysical id\t: " +
                   std::to_string(cpu / 2) + "\ncore id\t\t: " + std::to_string(cpu % 2) + "\n\n";
    }
    fixture.write("/proc/cpuinfo", cpuinfo);
    const CpuInfo cpu = CpuInfoReader(fixture.root()).read();
    EXPECT_EQ(cpu.vendorId, "AuthenticAMD");
    EXPECT_FALSE(cpu.maxFrequencyHz);
    EXPECT_EQ(cpu.currentFrequencyHz, 2'449'998'000u);
    EXPECT_EQ(cpu.physicalCores, 4);
    EXPECT_EQ(cpu.logicalCores, 4);
}

TEST(CpuInfoReader, Arm64WithoutModelNameUsesSysfsTopology) {
    SensorFixture fixture;
    std::string cpuinfo;
    for (int cpu = 0; cpu < 3; ++cpu) {
        cpuinfo += "processor\t: " + std::to_string(cpu) +
                   "\nBogoMIPS\t: 48.00\nFeatures\t: fp asimd\nCPU implementer\t: 0x61\n"
                   "CPU architecture: 8\nCPU part\t: 0x022\n\n";
    }
    fixture.write("/proc/cpuinfo", cpuinfo);
    writeCpu(fixture, 0, "0", 2'064'000);
    writeCpu(fixture, 1, "1", 3'228'000);
    writeCpu(fixture, 2, "2", 3'228'000);
    fixture.write("/sys/devices/system/cpu/cpufreq/policy0/cpuinfo_max_freq", "9999999\n");

    CpuInfo cpu = CpuInfoReader(fixture.root()).read();
    EXPECT_FALSE(cpu.modelName);
    EXPECT_FALSE(cpu.vendorId);
    EXPECT_EQ(cpu.implementer, 0x61u);
    EXPECT_EQ(cpu.maxFrequencyHz, 3'228'000'000u);
    EXPECT_FALSE(cpu.currentFrequencyHz);
    EXPECT_EQ(cpu.physicalCores, 3);
    EXPECT_EQ(cpu.logicalCores, 3);

    // Without /proc/cpuinfo the online list still counts the logical processors.
    fixture.remove("/proc/cpuinfo");
    fixture.write("/sys/devices/system/cpu/online", "0-3,6,8-9\n");
    cpu = CpuInfoReader(fixture.root()).read();
    EXPECT_EQ(cpu.logicalCores, 7);
    EXPECT_EQ(cpu.physicalCores, 3);
}

void writeCard(const SensorFixture& fixture, int card, const char* vendor, const char* device) {
    const std::string dir = "/sys/class/drm/card" + std::to_string(card) + "/device/";
    fixture.write(dir + "vendor", std::string(vendor) + "\n");
    fixture.write(dir + "device", std::string(device) + "\n");
}

TEST(GpuInfoReader, DrmPrefersComputeVendorsThenVideoMemory) {
    SensorFixture fixture;
    const GpuInfoReader reader(fixture.root());
    EXPECT_FALSE(reader.read());

    // A server: the BMC's display controller is card0, the GPU card1.
    writeCard(fixture, 0, "0x1a03", "0x2000");
    fixture.write("/sys/class/drm/card0-VGA-1/status", "connected\n");
    EXPECT_EQ(reader.read()->name, "ASPEED GPU [1a03:2000]");
    writeCard(fixture, 1, "0x10de", "0x2684");
    auto gpu = reader.read();
    ASSERT_TRUE(gpu);
    EXPECT_EQ(gpu->name, "NVIDIA GPU [10de:2684]");
    EXPECT_EQ(gpu->vendor, "NVIDIA");
    EXPECT_FALSE(gpu->memoryBytes);

    // An integrated GPU next to a discrete one with its memory size: the discrete one.
    writeCard(fixture, 2, "0x8086", "0x9bc5");
    writeCard(fixture, 12, "0x1002", "0x73bf");
    fixture.write("/sys/class/drm/card12/device/mem_info_vram_total", "17163091968\n");
    gpu = reader.read();
    ASSERT_TRUE(gpu);
    EXPECT_EQ(gpu->name, "AMD GPU [1002:73bf]");
    EXPECT_EQ(gpu->vendor, "AMD");
    EXPECT_EQ(gpu->memoryBytes, 17'163'091'968u);

    // An SoC's GPU is a platform device known only by its driver.
    SensorFixture soc;
    soc.write("/sys/class/drm/card0/device/uevent", "DRIVER=v3d\nOF_NAME=gpu\n");
    gpu = GpuInfoReader(soc.root()).read();
    ASSERT_TRUE(gpu);
    EXPECT_EQ(gpu->name, "v3d");
    EXPECT_EQ(gpu->vendor, "");
}

// The device page names the GPU the engine computes on: the engine's own choice, described.
TEST(GpuInfo, TheDevicePageNamesTheEnginesOpenClDevice) {
    SensorFixture fixture;
    setenv("POCL_CACHE_DIR", (fixture.root() / "pocl").c_str(), 1);
    writeCard(fixture, 0, "0x8086", "0x46a6");
    guard::DeviceInfoCollectorOptions options;
    options.root = fixture.root();

    // PoCL's CPU device counts when the engine is told to take any device.
    setenv("CORVANTA_OPENCL_DEVICE", "any", 1);
    const auto device = engine::gpu::OpenClDevice::selectDefault();
    ASSERT_TRUE(device) << "no OpenCL device; is pocl-opencl-icd installed?";
    EXPECT_FALSE(device->productName().empty());
    EXPECT_FALSE(device->vendor().empty());
    ASSERT_TRUE(device->globalMemoryBytes());
    EXPECT_GT(*device->globalMemoryBytes(), 0u);
    guard::DeviceInfo info = guard::DeviceInfoCollector(options).collect();
    EXPECT_EQ(info.gpuName.toStdString(), device->productName());
    EXPECT_EQ(info.gpuVendor.toStdString(), device->vendor());

    // Without that switch the engine has no device here, and the DRM cards describe the GPU.
    unsetenv("CORVANTA_OPENCL_DEVICE");
    if (!engine::gpu::OpenClDevice::selectDefault()) {
        info = guard::DeviceInfoCollector(options).collect();
        EXPECT_EQ(info.gpuName, "Intel GPU [8086:46a6]");
    }
}

TEST(DiskInfoReader, StatfsSizeAndMagicNames) {
    SensorFixture fixture;
    const auto disk = DiskInfoReader(fixture.root()).read();
    ASSERT_TRUE(disk);
    struct statvfs expected {};
    ASSERT_EQ(statvfs(fixture.root().c_str(), &expected), 0);
    EXPECT_EQ(disk->totalBytes, static_cast<std::uint64_t>(expected.f_blocks) * expected.f_frsize);
    EXPECT_TRUE(disk->fileSystemType) << "file system of the temporary directory is not named";

    EXPECT_FALSE(DiskInfoReader(fixture.root() / "missing").read());
    EXPECT_EQ(DiskInfoReader::fileSystemName(0xEF53), "ext4");
    EXPECT_EQ(DiskInfoReader::fileSystemName(0x9123683E), "btrfs");
    EXPECT_EQ(DiskInfoReader::fileSystemName(0x58465342), "xfs");
    EXPECT_EQ(DiskInfoReader::fileSystemName(0x794C7630), "overlay");
    EXPECT_FALSE(DiskInfoReader::fileSystemName(0x12345678));
}

TEST(ProcessMemoryReader, ResidentSizeFromStatus) {
    SensorFixture fixture;
    EXPECT_FALSE(ProcessMemoryReader(fixture.root()).residentBytes());
    fixture.write("/proc/self/status", "Name:\tcorvanta\nVmHWM:\t  9000 kB\nVmRSS:\t  8192 kB\n");
    EXPECT_EQ(ProcessMemoryReader(fixture.root()).residentBytes(), 8192u * 1024);
    // The real process is resident somewhere above nothing.
    EXPECT_GT(ProcessMemoryReader().residentBytes().value_or(0), 0u);
}

}  // namespace
}  // namespace corvanta::platform
