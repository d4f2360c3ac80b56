// An OpenCL driver for the ICD loader that has devices and nothing else: one platform with the
// devices a GPU machine may show, which no test machine has. Devices can be listed and described;
// nothing can be built or run on them. Loaded through OCL_ICD_FILENAMES.
//
//   0  GPU  "Fake GPU without compiler"   available, no compiler (a display-only driver)
//   1  CPU  "Fake CPU device"             available, compiler
//   2  GPU  "Fake GPU"                    available, compiler, 8 GiB, vendor "Fake Vendor"
#define CL_TARGET_OPENCL_VERSION 120
#include <CL/cl.h>
#include <CL/cl_ext.h>
#include <CL/cl_icd.h>

#include <cstring>
#include <string_view>

struct _cl_platform_id {
    cl_icd_dispatch* dispatch;
};

struct _cl_device_id {
    cl_icd_dispatch* dispatch;
    cl_device_type type;
    const char* name;
    cl_bool compiler;
    cl_ulong memory;
};

namespace {

cl_icd_dispatch dispatchTable;

_cl_platform_id platform{&dispatchTable};

_cl_device_id devices[] = {
    {&dispatchTable, CL_DEVICE_TYPE_GPU, "Fake GPU without compiler", CL_FALSE, 1ull << 30},
    {&dispatchTable, CL_DEVICE_TYPE_CPU, "Fake CPU device", CL_TRUE, 1ull << 31},
    {&dispatchTable, CL_DEVICE_TYPE_GPU, "Fake GPU", CL_TRUE, 8ull << 30},
};

cl_int answer(const void* value, size_t size, size_t room, void* out, size_t* sizeOut) {
    if (sizeOut != nullptr) {
        *sizeOut = size;
    }
    if (out != nullptr) {
        if (room < size) {
            return CL_INVALID_VALUE;
        }
        std::memcpy(out, value, size);
    }
    return CL_SUCCESS;
}

cl_int answerText(std::string_view text, size_t room, void* out, size_t* sizeOut) {
    char buffer[128] = {};
    std::memcpy(buffer, text.data(), text.size());
    return answer(buffer, text.size() + 1, room, out, sizeOut);
}

CL_API_ENTRY cl_int CL_API_CALL getPlatformIds(cl_uint entries, cl_platform_id* platforms,
                                               cl_uint* count) {
    if (count != nullptr) {
        *count = 1;
    }
    if (platforms != nullptr && entries > 0) {
        platforms[0] = &platform;
    }
    return CL_SUCCESS;
}

CL_API_ENTRY cl_int CL_API_CALL getPlatformInfo(cl_platform_id, cl_platform_info what, size_t room,
                                                void* out, size_t* sizeOut) {
    switch (what) {
        case CL_PLATFORM_ICD_SUFFIX_KHR:
            return answerText("Fake", room, out, sizeOut);
        case CL_PLATFORM_NAME:
            return answerText("Fake OpenCL", room, out, sizeOut);
        case CL_PLATFORM_VENDOR:
            return answerText("Fake Vendor", room, out, sizeOut);
        case CL_PLATFORM_VERSION:
            return answerText("OpenCL 1.2 Fake", room, out, sizeOut);
        case CL_PLATFORM_PROFILE:
            return answerText("FULL_PROFILE", room, out, sizeOut);
        case CL_PLATFORM_EXTENSIONS:
            return answerText("cl_khr_icd", room, out, sizeOut);
        default:
            return CL_INVALID_VALUE;
    }
}

CL_API_ENTRY cl_int CL_API_CALL getDeviceIds(cl_platform_id, cl_device_type type, cl_uint entries,
                                             cl_device_id* out, cl_uint* count) {
    cl_uint found = 0;
    for (_cl_device_id& device : devices) {
        if (type == CL_DEVICE_TYPE_ALL || (type & device.type) != 0) {
            if (out != nullptr && found < entries) {
                out[found] = &device;
            }
            ++found;
        }
    }
    if (count != nullptr) {
        *count = found;
    }
    return found == 0 ? CL_DEVICE_NOT_FOUND : CL_SUCCESS;
}

CL_API_ENTRY cl_int CL_API_CALL getDeviceInfo(cl_device_id device, cl_device_info what, size_t room,
                                              void* out, size_t* sizeOut) {
    const cl_bool yes = CL_TRUE;
    switch (what) {
        case CL_DEVICE_TYPE:
            return answer(&device->type, sizeof device->type, room, out, sizeOut);
        case CL_DEVICE_NAME:
            return answerText(device->name, room, out, sizeOut);
        case CL_DEVICE_VENDOR:
            return answerText("Fake Vendor", room, out, sizeOut);
        case CL_DRIVER_VERSION:
            return answerText("1.0", room, out, sizeOut);
        case CL_DEVICE_EXTENSIONS:
            return answerText("", room, out, sizeOut);
        case CL_DEVICE_AVAILABLE:
            return answer(&yes, sizeof yes, room, out, sizeOut);
        case CL_DEVICE_COMPILER_AVAILABLE:
            return answer(&device->compiler, sizeof device->compiler, room, out, sizeOut);
        case CL_DEVICE_GLOBAL_MEM_SIZE:
            return answer(&device->memory, sizeof device->memory, room, out, sizeOut);
        case CL_DEVICE_PLATFORM: {
            const cl_platform_id owner = &platform;
            return answer(&owner, sizeof owner, room, out, sizeOut);
        }
        default:
            return CL_INVALID_VALUE;
    }
}

[[gnu::constructor]] void fillDispatchTable() {
    dispatchTable.clGetPlatformIDs = &getPlatformIds;
    dispatchTable.clGetPlatformInfo = &getPlatformInfo;
    dispatchTable.clGetDeviceIDs = &getDeviceIds;
    dispatchTable.clGetDeviceInfo = &getDeviceInfo;
}

}  // namespace

extern "C" {

CL_API_ENTRY cl_int CL_API_CALL clIcdGetPlatformIDsKHR(cl_uint entries, cl_platform_id* platforms,
                                                       cl_uint* count) {
    return getPlatformIds(entries, platforms, count);
}

CL_API_ENTRY void* CL_API_CALL clGetExtensionFunctionAddress(const char* name) {
    // The loader asks for these two before it takes a platform.
    if (std::string_view(name) == "clIcdGetPlatformIDsKHR") {
        return reinterpret_cast<void*>(&clIcdGetPlatformIDsKHR);
    }
    if (std::string_view(name) == "clGetPlatformInfo") {
        return reinterpret_cast<void*>(&getPlatformInfo);
    }
    return nullptr;
}

}  // extern "C"
