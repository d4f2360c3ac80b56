#pragma once

#include <QMetaType>
#include <QString>

namespace corvanta::guard {

// The description of the machine the device page shows. Every value is display text; an
// unreadable one is "—". Where each value comes from on Linux:
//
//   manufacturer      DMI sys_vendor
//   serial            DMI product_serial, else the machine-id identity hash
//                     (platform::DeviceIdentityReader)
//   os                os-release PRETTY_NAME, else NAME and VERSION_ID, else "Linux" and the
//                     kernel's major.minor
//   arch              the architecture this executable was built for: "x86_64", "arm64", …
//   model             DMI product_name
//   uuid              DMI product_uuid, else the machine id in UUID form
//   kernel            uname release
//   cpuManufacturer   /proc/cpuinfo vendor_id (GenuineIntel → "Intel", AuthenticAMD → "AMD", …),
//                     else the ARM implementer code (0x41 → "Arm", 0x61 → "Apple", …), else
//                     "Intel" or "AMD" when the brand names them
//   cpuModel          /proc/cpuinfo model name, else cpuBrand
//   cpuSpeed          cpufreq cpuinfo_max_freq of the fastest core, else /proc/cpuinfo "cpu MHz",
//                     else a "… GHz" in the brand, else the core counts and the cores suffix
//   cpuBrand          model name; else "Apple Silicon" on an Apple-designed ARM core or a DMI
//                     product naming a Mac; else the uname machine ("aarch64")
//   cpuCores          physical/logical: distinct (physical id, core id) of /proc/cpuinfo or
//                     sysfs thread-sibling sets / "processor" entries or sysfs online CPUs
//   cpuSpeedMax       same as cpuSpeed
//   memoryTotal       /proc/meminfo MemTotal
//   memoryUsed        the client's resident size, /proc/self/status VmRSS
//   memoryFree        /proc/meminfo MemAvailable (free plus reclaimable)
//   gpuName, gpuModel the first OpenCL GPU's name, else a DRM card's vendor and PCI ids
//   gpuVendor         the OpenCL device vendor, else the DRM card's PCI vendor
//   gpuVram           OpenCL global memory or amdgpu's VRAM size in MB; a GPU without its own
//                     memory size shows MemTotal (shared memory)
//   gpuDriver         "—"
//   diskName          statfs("/") file-system type named from its magic number ("ext4")
//   diskType          the same name, with APFS and HFS+ spelt as their makers do
//   diskSize          statfs("/") blocks × fragment size
//   diskInterface     "—"
//   diskVendor        "—"
//   productImageName  the product image for a DMI product name of a Mac model identifier; empty
//                     (no image) for every other machine
//   productName       machine-info PRETTY_HOSTNAME, else the host name
//
// Sizes are gigabytes of 2^30 bytes with two decimals ("15.53 GB").
struct DeviceInfo {
    Q_GADGET
    Q_PROPERTY(QString manufacturer MEMBER manufacturer)
    Q_PROPERTY(QString serial MEMBER serial)
    Q_PROPERTY(QString os MEMBER os)
    Q_PROPERTY(QString arch MEMBER arch)
    Q_PROPERTY(QString model MEMBER model)
    Q_PROPERTY(QString uuid MEMBER uuid)
    Q_PROPERTY(QString kernel MEMBER kernel)
    Q_PROPERTY(QString cpuManufacturer MEMBER cpuManufacturer)
    Q_PROPERTY(QString cpuModel MEMBER cpuModel)
    Q_PROPERTY(QString cpuSpeed MEMBER cpuSpeed)
    Q_PROPERTY(QString cpuBrand MEMBER cpuBrand)
    Q_PROPERTY(QString cpuCores MEMBER cpuCores)
    Q_PROPERTY(QString cpuSpeedMax MEMBER cpuSpeedMax)
    Q_PROPERTY(QString memoryTotal MEMBER memoryTotal)
    Q_PROPERTY(QString memoryUsed MEMBER memoryUsed)
    Q_PROPERTY(QString memoryFree MEMBER memoryFree)
    Q_PROPERTY(QString gpuName MEMBER gpuName)
    Q_PROPERTY(QString gpuVendor MEMBER gpuVendor)
    Q_PROPERTY(QString gpuModel MEMBER gpuModel)
    Q_PROPERTY(QString gpuVram MEMBER gpuVram)
    Q_PROPERTY(QString gpuDriver MEMBER gpuDriver)
    Q_PROPERTY(QString diskName MEMBER diskName)
    Q_PROPERTY(QString diskType MEMBER diskType)
    Q_PROPERTY(QString diskSize MEMBER diskSize)
    Q_PROPERTY(QString diskInterface MEMBER diskInterface)
    Q_PROPERTY(QString diskVendor MEMBER diskVendor)
    Q_PROPERTY(QString productImageName MEMBER productImageName)
    Q_PROPERTY(QString productName MEMBER productName)

public:
    QString manufacturer;
    QString serial;
    QString os;
    QString arch;
    QString model;
    QString uuid;
    QString kernel;
    QString cpuManufacturer;
    QString cpuModel;
    QString cpuSpeed;
    QString cpuBrand;
    QString cpuCores;
    QString cpuSpeedMax;
    QString memoryTotal;
    QString memoryUsed;
    QString memoryFree;
    QString gpuName;
    QString gpuVendor;
    QString gpuModel;
    QString gpuVram;
    QString gpuDriver;
    QString diskName;
    QString diskType;
    QString diskSize;
    QString diskInterface;
    QString diskVendor;
    QString productImageName;  // empty when the machine has no product image
    QString productName;

    bool operator==(const DeviceInfo&) const = default;
};

}  // namespace corvanta::guard

Q_DECLARE_METATYPE(corvanta::guard::DeviceInfo)
