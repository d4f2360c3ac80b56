#include "engine/gpu/opencl_pipeline.h"

#include <algorithm>
#include <array>
#include <string>

#include "engine/gpu/dispatch_plan.h"
#include "engine/system_log.h"

namespace corvanta::engine::gpu {

namespace {

constexpr const char* kKernelName = "sha256_search";
constexpr const char* kBuildOptions = "";

std::string buildLog(cl_program program, cl_device_id device) {
    std::size_t size = 0;
    if (clGetProgramBuildInfo(program, device, CL_PROGRAM_BUILD_LOG, 0, nullptr, &size) !=
            CL_SUCCESS ||
        size == 0) {
        return {};
    }
    std::string log(size, '\0');
    if (clGetProgramBuildInfo(program, device, CL_PROGRAM_BUILD_LOG, size, log.data(), nullptr) !=
        CL_SUCCESS) {
        return {};
    }
    log.resize(log.find_last_not_of(std::string_view("\0 \t\r\n", 5)) + 1);
    return log;
}

// Work-items per group: the kernel's limit on this device, within the device's first dimension.
std::size_t kernelGroupLimit(cl_kernel kernel, cl_device_id device) {
    std::size_t kernelLimit = 0;
    if (clGetKernelWorkGroupInfo(kernel, device, CL_KERNEL_WORK_GROUP_SIZE, sizeof kernelLimit,
                                 &kernelLimit, nullptr) != CL_SUCCESS) {
        return 0;
    }
    cl_uint dimensions = 0;
    if (clGetDeviceInfo(device, CL_DEVICE_MAX_WORK_ITEM_DIMENSIONS, sizeof dimensions, &dimensions,
                        nullptr) == CL_SUCCESS &&
        dimensions > 0) {
        std::vector<std::size_t> sizes(dimensions);
        if (clGetDeviceInfo(device, CL_DEVICE_MAX_WORK_ITEM_SIZES,
                            sizes.size() * sizeof(std::size_t), sizes.data(),
                            nullptr) == CL_SUCCESS &&
            sizes[0] > 0) {
            kernelLimit = std::min(kernelLimit, sizes[0]);
        }
    }
    return kernelLimit;
}

// A program made from a device binary stored earlier, built for the device; empty when the driver
// does not take it back.
ClProgram programFromBinary(cl_context context, cl_device_id device,
                            const std::vector<unsigned char>& binary) {
    const unsigned char* bytes = binary.data();
    const std::size_t size = binary.size();
    cl_int binaryStatus = CL_SUCCESS;
    cl_int error = CL_SUCCESS;
    ClProgram program(
        clCreateProgramWithBinary(context, 1, &device, &size, &bytes, &binaryStatus, &error));
    if (error != CL_SUCCESS || binaryStatus != CL_SUCCESS || !program ||
        clBuildProgram(program.get(), 1, &device, kBuildOptions, nullptr, nullptr) != CL_SUCCESS) {
        return ClProgram();
    }
    return program;
}

// The device binary of a program built for one device; empty when the driver gives none.
std::vector<unsigned char> programBinary(cl_program program) {
    std::size_t size = 0;
    if (clGetProgramInfo(program, CL_PROGRAM_BINARY_SIZES, sizeof size, &size, nullptr) !=
            CL_SUCCESS ||
        size == 0) {
        return {};
    }
    std::vector<unsigned char> binary(size);
    unsigned char* slot = binary.data();
    if (clGetProgramInfo(program, CL_PROGRAM_BINARIES, sizeof slot, &slot, nullptr) != CL_SUCCESS) {
        return {};
    }
    return binary;
}

}  // namespace

OpenClPipeline::OpenClPipeline(OpenClDevice device, ClContext context, ClProgram program,
                               std::size_t maxThreadsPerGroup)
    : device_(std::move(device)),
      context_(std::move(context)),
      program_(std::move(program)),
      maxThreadsPerGroup_(maxThreadsPerGroup) {}

std::unique_ptr<OpenClPipeline> OpenClPipeline::build(const OpenClDevice& device,
                                                      std::string_view source,
                                                      const OpenClProgramCache* cache,
                                                      BuildReport* report) {
    BuildReport ignored;
    BuildReport& done = report != nullptr ? *report : ignored;
    cl_int error = CL_SUCCESS;
    const cl_device_id deviceId = device.id();
    ClContext context(clCreateContext(nullptr, 1, &deviceId, nullptr, nullptr, &error));
    if (error != CL_SUCCESS || !context) {
        writeSystemLog(SystemLogLevel::error, "OpenCL context could not be created (error " +
                                                  std::to_string(error) +
                                                  "); GPU path unavailable");
        return nullptr;
    }

    const std::string key = cache != nullptr
                                ? OpenClProgramCache::keyFor(device, source, kBuildOptions)
                                : std::string();
    ClProgram program;
    if (cache != nullptr) {
        OpenClProgramCache::LoadResult found = OpenClProgramCache::LoadResult::absent;
        if (const auto binary = cache->load(key, &found)) {
            program = programFromBinary(context.get(), deviceId, *binary);
            done.loadedFromCache = static_cast<bool>(program);
            if (done.loadedFromCache) {
                writeSystemLog(SystemLogLevel::info, "OpenCL program loaded from the cache");
            }
        }
        done.cacheEntryDamaged = found == OpenClProgramCache::LoadResult::damaged ||
                                 (found == OpenClProgramCache::LoadResult::hit && !program);
        if (done.cacheEntryDamaged) {
            writeSystemLog(SystemLogLevel::info,
                           "OpenCL program cache entry unusable; building the kernel anew");
        }
    }
    if (!program) {
        const char* text = source.data();
        const std::size_t length = source.size();
        program = ClProgram(clCreateProgramWithSource(context.get(), 1, &text, &length, &error));
        if (error != CL_SUCCESS || !program) {
            writeSystemLog(SystemLogLevel::error, "OpenCL program could not be created (error " +
                                                      std::to_string(error) + ")");
            return nullptr;
        }
        ++done.sourceBuilds;
        error = clBuildProgram(program.get(), 1, &deviceId, kBuildOptions, nullptr, nullptr);
        if (error != CL_SUCCESS) {
            writeSystemLog(SystemLogLevel::error, "OpenCL program failed to build (error " +
                                                      std::to_string(error) + "):\n" +
                                                      buildLog(program.get(), deviceId));
            return nullptr;
        }
    }

    ClKernel kernel(clCreateKernel(program.get(), kKernelName, &error));
    if (error == CL_INVALID_KERNEL_NAME) {
        writeSystemLog(SystemLogLevel::error, "Kernel sha256_search is missing");
        return nullptr;
    }
    const std::size_t groupLimit =
        error == CL_SUCCESS && kernel ? kernelGroupLimit(kernel.get(), deviceId) : 0;
    std::unique_ptr<OpenClPipeline> pipeline;
    if (groupLimit > 0) {
        if (cache != nullptr && !done.loadedFromCache) {
            const auto binary = programBinary(program.get());
            done.storedInCache = !binary.empty() && cache->store(key, binary);
        }
        pipeline = std::make_unique<OpenClPipeline>(device, std::move(context), std::move(program),
                                                    groupLimit);
    }
    writeSystemLog(SystemLogLevel::info, std::string("OpenCL diagnostic pipeline: ") +
                                             (pipeline ? "ready" : "failed") +
                                             "; runtime parity-gated");
    return pipeline;
}

std::unique_ptr<OpenClPipeline::DispatchSlot> OpenClPipeline::takeSlot() const {
    {
        std::lock_guard lock(slotsMutex_);
        if (!idleSlots_.empty()) {
            auto slot = std::move(idleSlots_.back());
            idleSlots_.pop_back();
            return slot;
        }
    }
    auto slot = std::make_unique<DispatchSlot>();
    cl_int error = CL_SUCCESS;
    slot->queue = ClCommandQueue(clCreateCommandQueue(context_.get(), device_.id(), 0, &error));
    if (error != CL_SUCCESS || !slot->queue) {
        return nullptr;
    }
    slot->kernel = ClKernel(clCreateKernel(program_.get(), kKernelName, &error));
    if (error != CL_SUCCESS || !slot->kernel) {
        return nullptr;
    }
    // Each buffer as large as any dispatch needs; a dispatch writes what it uses.
    const std::size_t sizes[] = {
        DispatchPlan::kMaxSeedBytes + 1,
        sizeof(std::uint32_t),
        sizeof(std::uint32_t),
        sizeof(cl_ulong),
        std::size_t{kMaxResultsPerDispatch} * sizeof(cl_ulong),
        sizeof(std::uint32_t),
        sizeof(std::uint32_t),
        (DispatchPlan::kHeaderWords + DispatchPlan::kMaxSegments * DispatchPlan::kSegmentWords) *
            sizeof(std::uint32_t),
    };
    for (cl_uint index = 0; index < slot->buffers.size(); ++index) {
        const bool written = index == 4 || index == 5;
        slot->buffers[index] =
            ClMemory(clCreateBuffer(context_.get(), written ? CL_MEM_READ_WRITE : CL_MEM_READ_ONLY,
                                    sizes[index], nullptr, &error));
        const cl_mem memory = slot->buffers[index].get();
        if (error != CL_SUCCESS || memory == nullptr ||
            clSetKernelArg(slot->kernel.get(), index, sizeof memory, &memory) != CL_SUCCESS) {
            return nullptr;
        }
    }
    return slot;
}

void OpenClPipeline::returnSlot(std::unique_ptr<DispatchSlot> slot) const {
    std::lock_guard lock(slotsMutex_);
    idleSlots_.push_back(std::move(slot));
}

std::optional<std::vector<std::uint64_t>> OpenClPipeline::dispatch(std::string_view seed,
                                                                   std::uint32_t difficulty,
                                                                   std::uint64_t first,
                                                                   std::uint32_t count,
                                                                   std::uint32_t* hitCount) const {
    const auto plan = DispatchPlan::build(seed, first, count);
    if (!plan) {
        return std::nullopt;
    }
    // A slot that saw an error is dropped with its queue rather than used again.
    std::unique_ptr<DispatchSlot> slot = takeSlot();
    if (!slot) {
        return std::nullopt;
    }
    const cl_command_queue queue = slot->queue.get();

    const std::uint32_t maxResults = std::min(count, kMaxResultsPerDispatch);
    const std::uint8_t emptySeed = 0;
    const std::uint32_t seedLength = static_cast<std::uint32_t>(seed.size());
    const cl_ulong base = first;
    const std::uint32_t zero = 0;
    const std::vector<std::uint32_t>& words = plan->words();
    struct Input {
        const void* bytes;
        std::size_t size;
    };
    // Written without waiting: the queue runs in order, and every input outlives the wait for the
    // kernel below.
    const std::array<std::pair<cl_uint, Input>, 7> inputs = {{
        {0, seed.empty() ? Input{&emptySeed, 1} : Input{seed.data(), seed.size()}},
        {1, {&seedLength, sizeof seedLength}},
        {2, {&difficulty, sizeof difficulty}},
        {3, {&base, sizeof base}},
        {5, {&zero, sizeof zero}},
        {6, {&maxResults, sizeof maxResults}},
        {7, {words.data(), words.size() * sizeof(std::uint32_t)}},
    }};
    for (const auto& [index, input] : inputs) {
        if (clEnqueueWriteBuffer(queue, slot->buffers[index].get(), CL_FALSE, 0, input.size,
                                 input.bytes, 0, nullptr, nullptr) != CL_SUCCESS) {
            return std::nullopt;
        }
    }

    // OpenCL 1.2 wants the global size to be a multiple of the group size, and a nonce count
    // rarely is one. The grid is rounded up to whole groups and the kernel skips threads past the
    // count, so every dispatch gets full-size groups rather than whatever divisor would fit. The
    // group size is always the kernel's maximum, also for dispatches smaller than one group: the
    // spare threads return at once, and a driver that compiles one variant per group size (PoCL
    // does) compiles only one.
    const std::size_t group = maxThreadsPerGroup_;
    const std::size_t global = (std::size_t{count} + group - 1) / group * group;
    ClEvent done;
    if (clEnqueueNDRangeKernel(queue, slot->kernel.get(), 1, nullptr, &global, &group, 0, nullptr,
                               done.out()) != CL_SUCCESS ||
        clFlush(queue) != CL_SUCCESS) {
        return std::nullopt;
    }
    const cl_event event = done.get();
    cl_int status = CL_QUEUED;
    if (clWaitForEvents(1, &event) != CL_SUCCESS ||
        clGetEventInfo(event, CL_EVENT_COMMAND_EXECUTION_STATUS, sizeof status, &status, nullptr) !=
            CL_SUCCESS ||
        status != CL_COMPLETE) {
        return std::nullopt;
    }

    std::uint32_t counter = 0;
    if (clEnqueueReadBuffer(queue, slot->buffers[5].get(), CL_TRUE, 0, sizeof counter, &counter, 0,
                            nullptr, nullptr) != CL_SUCCESS) {
        return std::nullopt;
    }
    std::vector<std::uint64_t> hits(std::min(counter, maxResults));
    if (!hits.empty() && clEnqueueReadBuffer(queue, slot->buffers[4].get(), CL_TRUE, 0,
                                             hits.size() * sizeof(cl_ulong), hits.data(), 0,
                                             nullptr, nullptr) != CL_SUCCESS) {
        return std::nullopt;
    }
    returnSlot(std::move(slot));
    std::sort(hits.begin(), hits.end());
    if (hitCount != nullptr) {
        *hitCount = counter;
    }
    return hits;
}

}  // namespace corvanta::engine::gpu
