#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <QMetaProperty>

#include "guard/device_info_collector.h"
#include "guard/device_info_format.h"
#include "platform/string_table.h"
#include "unit/guard/sensor_fixture.h"

namespace corvanta::guard {
namespace {

using testing::SensorFixture;

const QString kDash = QString::fromUtf8("\xe2\x80\x94");

DeviceInfo collectFrom(const SensorFixture& fixture) {
    DeviceInfoCollectorOptions options;
    options.root = fixture.root();
    options.useOpenCl = false;
    return DeviceInfoCollector(options).collect();
}

QString kernelRelease() {
    utsname system{};
    EXPECT_EQ(uname(&system), 0);
    return QString::fromUtf8(system.release);
}

TEST(DeviceInfoFormat, NormalisationAndSizes) {
    EXPECT_EQ(normalisedValue("  Dell Inc.\n"), "Dell Inc.");
    for (const char* nothing : {"", " \t\n", "-", "\xe2\x80\x94", "Unknown", " N/A ", "n/a"}) {
        EXPECT_FALSE(normalisedValue(nothing)) << nothing;
    }
    EXPECT_EQ(normalisedValue("n/a GPU"), "n/a GPU");

    EXPECT_EQ(gigabytesText(std::nullopt), "\xe2\x80\x94");
    EXPECT_EQ(gigabytesText(0), "\xe2\x80\x94");
    EXPECT_EQ(gigabytesText(1), "0.00 GB");
    EXPECT_EQ(gigabytesText(1'610'612'736), "1.50 GB");
    EXPECT_EQ(gigabytesText(16'675'176'448), "15.53 GB");

    EXPECT_EQ(diskTypeName("apfs"), "APFS");
    EXPECT_EQ(diskTypeName("hfsplus"), "HFS+");
    EXPECT_EQ(diskTypeName("ext4"), "ext4");
}

TEST(DeviceInfoFormat, ProcessorSpeedRules) {
    const std::string brand = "Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz";
    EXPECT_EQ(cpuSpeedText(4'700'000'000, 800'000'000, brand, 6, 12, " Cores"), "4.7 GHz");
    EXPECT_EQ(cpuSpeedText(0, 2'449'998'000, brand, 6, 12, " Cores"), "2.4 GHz");
    EXPECT_EQ(cpuSpeedText(std::nullopt, std::nullopt, brand, 6, 12, " Cores"), "3.20GHz");
    EXPECT_EQ(cpuSpeedText(std::nullopt, std::nullopt, "Fast 2 GHz part", 6, 12, " Cores"),
              "2 GHz");
    EXPECT_EQ(cpuSpeedText(std::nullopt, std::nullopt, "Apple Silicon", 8, 8, " Cores"),
              "8/8 Cores");
    EXPECT_EQ(cpuSpeedText(std::nullopt, std::nullopt, "AMD EPYC 3GHZ", 0, 0, " cores"),
              "0/0 cores");
}

TEST(DeviceInfoFormat, GraphicsMemoryRules) {
    EXPECT_EQ(gpuMemoryText("8192", 1), "8192 MB");
    EXPECT_EQ(gpuMemoryText("+512", 1), "512 MB");
    EXPECT_EQ(gpuMemoryText("-1", 1), "-1 MB");
    EXPECT_EQ(gpuMemoryText("16 GB", 1), "16 GB");
    EXPECT_EQ(gpuMemoryText("1024MB", 1), "1024MB");
    EXPECT_EQ(gpuMemoryText("99999999999999999999", 1), "99999999999999999999");
    EXPECT_EQ(gpuMemoryText("+-5", 1), "+-5");
    EXPECT_EQ(gpuMemoryText("shared", 1), "shared");
    EXPECT_EQ(gpuMemoryText(std::nullopt, 17'179'869'184), "16.00 GB");
    EXPECT_EQ(gpuMemoryText(std::nullopt, std::nullopt), "\xe2\x80\x94");
}

TEST(DeviceInfoFormat, ProductImageByModelIdentifier) {
    EXPECT_EQ(productImageName("MacBookPro18,3"), "macbook-pro");
    EXPECT_EQ(productImageName("MacBookAir10,1"), "macbook-air");
    EXPECT_EQ(productImageName("MacBook10,1"), "macbook-neo");
    EXPECT_EQ(productImageName("Macmini9,1"), "mac-mini");
    EXPECT_EQ(productImageName("iMac21,1"), "imac");
    EXPECT_EQ(productImageName("MacPro7,1"), "mac-pro");
    EXPECT_EQ(productImageName("Mac15,4"), "imac");
    EXPECT_EQ(productImageName("Mac14,2"), "macbook-air");
    EXPECT_EQ(productImageName("Mac16,9"), "mac-studio");
    EXPECT_EQ(productImageName("Mac14,8"), "mac-pro");
    EXPECT_FALSE(productImageName("Mac99,1"));
    EXPECT_FALSE(productImageName("Mac15,4 "));
    EXPECT_FALSE(productImageName("20XW0026GE"));
    EXPECT_FALSE(productImageName("\xe2\x80\x94"));
    EXPECT_FALSE(productImageName("imac"));
}

TEST(DeviceInfo, TwentyEightTextPropertiesInOrder) {
    const QMetaObject& meta = DeviceInfo::staticMetaObject;
    const QStringList expected = {"manufacturer",  "serial",          "os",
                                  "arch",          "model",           "uuid",
                                  "kernel",        "cpuManufacturer", "cpuModel",
                                  "cpuSpeed",      "cpuBrand",        "cpuCores",
                                  "cpuSpeedMax",   "memoryTotal",     "memoryUsed",
                                  "memoryFree",    "gpuName",         "gpuVendor",
                                  "gpuModel",      "gpuVram",         "gpuDriver",
                                  "diskName",      "diskType",        "diskSize",
                                  "diskInterface", "diskVendor",      "productImageName",
                                  "productName"};
    ASSERT_EQ(meta.propertyCount(), expected.size());
    for (int i = 0; i < meta.propertyCount(); ++i) {
        EXPECT_EQ(QString::fromLatin1(meta.property(i).name()), expected[i]);
        EXPECT_EQ(meta.property(i).metaType(), QMetaType::fromType<QString>());
    }
}

TEST(DeviceInfoCollector, IntelDesktopFromFixtureTree) {
    SensorFixture fixture;
    fixture.write("/sys/class/dmi/id/sys_vendor", "Dell Inc.\n");
    fixture.write("/sys/class/dmi/id/product_name", "XPS 15 9520\n");
    fixture.write("/sys/class/dmi/id/product_serial", "To Be Filled By O.E.M.\n");
    fixture.write("/etc/machine-id", "0123456789abcdef0123456789abcdef\n");
    fixture.write("/etc/os-release", "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n");
    fixture.write("/etc/machine-info", "PRETTY_HOSTNAME=\"Anna's XPS\"\n");
    fixture.write("/proc/cpuinfo",
                  "processor\t: 0\nvendor_id\t: GenuineIntel\n"
                  "model name\t: 12th Gen Intel(R) Core(TM) i7-12700H\n"
                  "physical id\t: 0\ncore id\t\t: 0\n\n"
                  "processor\t: 1\nvendor_id\t: GenuineIntel\n"
                  "model name\t: 12th Gen Intel(R) Core(TM) i7-12700H\n"
                  "physical id\t: 0\ncore id\t\t: 0\n\n");
    fixture.write("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq", "4700000\n");
    fixture.write("/proc/meminfo",
                  "MemTotal:       16284352 kB\nMemFree:  100 kB\nMemAvailable:    8142176 kB\n");
    fixture.write("/proc/self/status", "VmRSS:\t  262144 kB\n");
    fixture.write("/sys/class/drm/card0/device/vendor", "0x8086\n");
    fixture.write("/sys/class/drm/card0/device/device", "0x46a6\n");

    const DeviceInfo info = collectFrom(fixture);
    EXPECT_EQ(info.manufacturer, "Dell Inc.");
    EXPECT_EQ(info.serial, "e1006b46244f761705922cbb86cc92e6");
    EXPECT_EQ(info.os, "Debian GNU/Linux 12 (bookworm)");
#if defined(__x86_64__)
    EXPECT_EQ(info.arch, "x86_64");
#elif defined(__aarch64__)
    EXPECT_EQ(info.arch, "arm64");
#endif
    EXPECT_EQ(info.model, "XPS 15 9520");
    EXPECT_EQ(info.uuid, "01234567-89ab-cdef-0123-456789abcdef");
    EXPECT_EQ(info.kernel, kernelRelease());
    EXPECT_EQ(info.cpuManufacturer, "Intel");
    EXPECT_EQ(info.cpuModel, "12th Gen Intel(R) Core(TM) i7-12700H");
    EXPECT_EQ(info.cpuSpeed, "4.7 GHz");
    EXPECT_EQ(info.cpuBrand, "12th Gen Intel(R) Core(TM) i7-12700H");
    EXPECT_EQ(info.cpuCores, "1/2");
    EXPECT_EQ(info.cpuSpeedMax, "4.7 GHz");
    EXPECT_EQ(info.memoryTotal, "15.53 GB");
    EXPECT_EQ(info.memoryUsed, "0.25 GB");
    EXPECT_EQ(info.memoryFree, "7.76 GB");
    // An integrated GPU has no memory of its own: it shows the shared system memory.
    EXPECT_EQ(info.gpuName, "Intel GPU [8086:46a6]");
    EXPECT_EQ(info.gpuVendor, "Intel");
    EXPECT_EQ(info.gpuModel, info.gpuName);
    EXPECT_EQ(info.gpuVram, "15.53 GB");
    EXPECT_EQ(info.gpuDriver, kDash);
    EXPECT_NE(info.diskName, kDash);
    EXPECT_EQ(info.diskType, info.diskName);
    EXPECT_TRUE(info.diskSize.endsWith(" GB"));
    EXPECT_EQ(info.diskInterface, kDash);
    EXPECT_EQ(info.diskVendor, kDash);
    EXPECT_TRUE(info.productImageName.isEmpty());
    EXPECT_EQ(info.productName, "Anna's XPS");

    // Each source fails on its own.
    fixture.remove("/proc/meminfo");
    fixture.remove("/sys/devices/system/cpu");
    const DeviceInfo degraded = collectFrom(fixture);
    EXPECT_EQ(degraded.memoryTotal, kDash);
    EXPECT_EQ(degraded.memoryFree, kDash);
    EXPECT_EQ(degraded.gpuVram, kDash);
    EXPECT_EQ(degraded.memoryUsed, "0.25 GB");
    // The suffix after the core counts is the string table's.
    ASSERT_TRUE(platform::StringTable::english().contains(QStringLiteral("cpu_cores_suffix")));
    EXPECT_EQ(degraded.cpuSpeed,
              QStringLiteral("1/2") + platform::localized(QStringLiteral("cpu_cores_suffix")));
    EXPECT_EQ(degraded.cpuSpeed, "1/2 Cores");
    EXPECT_EQ(degraded.manufacturer, "Dell Inc.");
}

TEST(DeviceInfoCollector, EmptyTreeShowsPlaceholders) {
    SensorFixture fixture;
    DeviceInfoCollectorOptions options;
    options.root = fixture.root();
    options.useOpenCl = false;
    options.cpuCoresSuffix = QStringLiteral(" cores");
    const DeviceInfo info = DeviceInfoCollector(options).collect();
    for (const QString* field :
         {&info.manufacturer, &info.serial, &info.model, &info.uuid, &info.cpuManufacturer,
          &info.memoryTotal, &info.memoryUsed, &info.memoryFree, &info.gpuName, &info.gpuVendor,
          &info.gpuModel, &info.gpuVram, &info.gpuDriver, &info.diskInterface, &info.diskVendor}) {
        EXPECT_EQ(*field, kDash);
    }
    // "Linux" and the kernel's major.minor stand in for a missing os-release.
    const QString kernel = kernelRelease();
    EXPECT_TRUE(info.os.startsWith("Linux ")) << info.os.toStdString();
    EXPECT_TRUE(kernel.startsWith(info.os.mid(6))) << info.os.toStdString();
    EXPECT_EQ(info.os.count('.'), 1);
    // No model name: the machine type names the processor.
    utsname system{};
    ASSERT_EQ(uname(&system), 0);
    EXPECT_EQ(info.cpuBrand, QString::fromUtf8(system.machine));
    EXPECT_EQ(info.cpuModel, info.cpuBrand);
    EXPECT_EQ(info.cpuCores, "0/0");
    EXPECT_EQ(info.cpuSpeed, "0/0 cores");
    EXPECT_TRUE(info.productImageName.isEmpty());
    EXPECT_FALSE(info.productName.isEmpty());
}

TEST(DeviceInfoCollector, MacRunningLinuxOnArm) {
    SensorFixture fixture;
    fixture.write("/sys/class/dmi/id/sys_vendor", "Apple Inc.\n");
    fixture.write("/sys/class/dmi/id/product_name", "MacBookAir10,1\n");
    fixture.write("/sys/class/dmi/id/product_serial", "C02DEADBEEF1\n");
    fixture.write("/sys/class/dmi/id/product_uuid", "A1B2C3D4-0000-1111-2222-333344445555\n");
    fixture.write("/etc/os-release", "NAME=\"Fedora Linux Asahi Remix\"\nVERSION_ID=40\n");
    fixture.write("/proc/cpuinfo",
                  "processor\t: 0\nCPU implementer\t: 0x61\nCPU part\t: 0x022\n\n"
                  "processor\t: 1\nCPU implementer\t: 0x61\nCPU part\t: 0x023\n");
    fixture.write("/sys/devices/system/cpu/cpu0/topology/core_cpus_list", "0\n");
    fixture.write("/sys/devices/system/cpu/cpu1/topology/core_cpus_list", "1\n");
    fixture.write("/sys/class/drm/card0/device/uevent", "DRIVER=asahi\n");
    fixture.write("/proc/meminfo", "MemTotal: 8388608 kB\nMemAvailable: 4194304 kB\n");

    const DeviceInfo info = collectFrom(fixture);
    EXPECT_EQ(info.manufacturer, "Apple Inc.");
    EXPECT_EQ(info.serial, "C02DEADBEEF1");
    EXPECT_EQ(info.uuid, "A1B2C3D4-0000-1111-2222-333344445555");
    EXPECT_EQ(info.os, "Fedora Linux Asahi Remix 40");
    EXPECT_EQ(info.cpuManufacturer, "Apple");
    EXPECT_EQ(info.cpuBrand, "Apple Silicon");
    EXPECT_EQ(info.cpuModel, "Apple Silicon");
    EXPECT_EQ(info.cpuCores, "2/2");
    EXPECT_EQ(info.cpuSpeed, "2/2 Cores");
    EXPECT_EQ(info.gpuName, "asahi");
    EXPECT_EQ(info.gpuVendor, kDash);
    EXPECT_EQ(info.gpuVram, "8.00 GB");
    EXPECT_EQ(info.productImageName, "macbook-air");
}

}  // namespace
}  // namespace corvanta::guard
