// A machine without any OpenCL platform (the ICD loader finds no vendor): the engine still works,
// every GPU search is handed back unprocessed, and the processor path is unaffected.
#include <gtest/gtest.h>

#include "engine/compute_engine.h"
#include "unit/engine/gpu/gpu_test_support.h"

namespace corvanta::engine {
namespace {

using testing::cpuRequest;
using testing::gpuRequest;
using testing::LogRecorder;
using testing::referenceHits;
using testing::SystemLogCapture;

TEST(GpuAbsentTest, GpuSearchesComeBackUnprocessedAndCpuSearchesWork) {
    SystemLogCapture capture;
    ComputeEngine engine;
    engine.waitForGpuSetUp();
    EXPECT_EQ(capture.messages(), std::vector<std::string>{"No OpenCL GPU device; CPU path only"});
    EXPECT_FALSE(engine.gpuDeviceName().has_value());
    EXPECT_EQ(engine.gpuFallbackReason("abc"), GpuFallbackReason::noDevice);
    EXPECT_FALSE(engine.runParityProbe());
    EXPECT_FALSE(engine.dispatchBatch("abc", 1, 0, 10).has_value());

    LogRecorder log;
    engine.setOnLog(log.callback());
    SearchRequest request = gpuRequest("abc", 0, 1'000, 1);
    request.tag = DispatchTag{"GPU#2", 4};
    const auto gpu = engine.searchRange(request);
    EXPECT_EQ(gpu.status, ComputeSearchStatus::unprocessed);
    EXPECT_EQ(gpu.note, SearchNote::gpuNoDevice);
    EXPECT_EQ(gpu.batches, 0);
    EXPECT_TRUE(gpu.usedGpu);
    EXPECT_TRUE(gpu.nonces.empty());
    EXPECT_EQ(log.messages("GPU#2"), std::vector<std::string>{"fallback reason=no-metal-device"});

    const auto cpu = engine.searchRange(cpuRequest("abc", 0, 1'000, 1));
    EXPECT_EQ(cpu.status, ComputeSearchStatus::completed);
    EXPECT_EQ(cpu.note, SearchNote::cpu);
    EXPECT_EQ(cpu.nonces, referenceHits("abc", 0, 1'000, 1));
    EXPECT_EQ(engine.activeSearchCount(), 0u);
}

}  // namespace
}  // namespace corvanta::engine
