// The device page names the GPU the engine computes on, on a machine with several OpenCL devices.
// No test machine has such a set, so a driver of the tests' own offers it
// (tests/support/fake_opencl_icd.cpp): a GPU without a compiler, a CPU device, then a usable GPU.
#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/gpu/opencl_device.h"
#include "guard/device_info_collector.h"

namespace corvanta::guard {
namespace {

TEST(GpuChoice, TheDevicePageNamesTheDeviceTheEngineComputesOn) {
    // Before the first OpenCL call of this process: the loader reads it once.
    setenv("OCL_ICD_VENDORS", CORVANTA_FAKE_OPENCL_ICD, 1);
    unsetenv("OCL_ICD_FILENAMES");

    // GPUs only: the one without a compiler cannot run the kernel, so the engine takes the next.
    unsetenv("CORVANTA_OPENCL_DEVICE");
    auto device = engine::gpu::OpenClDevice::selectDefault();
    ASSERT_TRUE(device) << "the fake OpenCL driver did not load";
    EXPECT_EQ(device->name(), "Fake GPU");
    DeviceInfo info = DeviceInfoCollector().collect();
    EXPECT_EQ(info.gpuName, QStringLiteral("Fake GPU"));
    EXPECT_EQ(info.gpuVendor, QStringLiteral("Fake Vendor"));
    EXPECT_EQ(info.gpuVram, QStringLiteral("8192 MB"));

    // Any device: the first usable one in the platform's order, a CPU device here.
    setenv("CORVANTA_OPENCL_DEVICE", "any", 1);
    device = engine::gpu::OpenClDevice::selectDefault();
    ASSERT_TRUE(device);
    EXPECT_EQ(device->name(), "Fake CPU device");
    info = DeviceInfoCollector().collect();
    EXPECT_EQ(info.gpuName, QStringLiteral("Fake CPU device"));
    unsetenv("CORVANTA_OPENCL_DEVICE");
}

}  // namespace
}  // namespace corvanta::guard
