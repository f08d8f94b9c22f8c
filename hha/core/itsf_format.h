// Named offsets and fixed values of the ITSF container (the .chm file), shared by the
// writer and by the tests that inspect what it wrote.
#pragma once

#include <cstdint>

namespace hha::itsf {

// ITSF header: version 3 is the only one 7-Zip accepts, and it adds the field with the
// offset of content section 0.
constexpr uint32_t kHeaderSize = 0x60;
constexpr uint32_t kHeaderVersion = 3;
constexpr uint32_t kOffSignature = 0x00, kOffVersion = 0x04, kOffHeaderLen = 0x08, kOffUnknown1 = 0x0C,
                   kOffTimestamp = 0x10, kOffLcid = 0x14, kOffGuid1 = 0x18, kOffGuid2 = 0x28,
                   kOffHs0Offset = 0x38, kOffHs0Length = 0x40, kOffDirOffset = 0x48,
                   kOffDirLength = 0x50, kOffContentOffset = 0x58;

// Header section 0: the file-length record.
constexpr uint32_t kHs0Size = 0x18;
constexpr uint32_t kHs0Magic = 0x01FE;
constexpr uint32_t kOffHs0Magic = 0x00, kOffHs0FileLength = 0x08;

// Directory header.
constexpr uint32_t kItspSize = 0x54;
constexpr uint32_t kOffItspVersion = 0x04, kOffItspLen = 0x08, kOffItspUnknown = 0x0C,
                   kOffChunkSize = 0x10, kOffDensity = 0x14, kOffDepth = 0x18,
                   kOffRootChunk = 0x1C, kOffFirstPmgl = 0x20, kOffLastPmgl = 0x24,
                   kOffItspMinus1 = 0x28, kOffChunkCount = 0x2C, kOffItspLcid = 0x30,
                   kOffItspGuid = 0x34, kOffItspLen2 = 0x44, kOffItspMinus1Tail = 0x48;
constexpr uint32_t kItspUnknownValue = 0x0A;
constexpr int kItspMinus1TailCount = 3;

// 4 KiB chunks: what every writer uses; libmspack refuses chunks above 8 KiB.
constexpr uint32_t kChunkSize = 0x1000;
// Quickref every 1 + 2^2 = 5 entries, the density all writers use.
constexpr uint32_t kQuickrefDensity = 2;
constexpr uint32_t kQuickrefEvery = 1 + (1u << kQuickrefDensity);
constexpr uint32_t kPmglHeaderSize = 0x14;
constexpr uint32_t kPmgiHeaderSize = 0x08;
constexpr uint32_t kOffChunkFreeSpace = 0x04, kOffPmglPrev = 0x0C, kOffPmglNext = 0x10;
constexpr uint32_t kNoChunk = 0xFFFFFFFF;

// GUIDs in Windows byte order.
constexpr uint8_t kItsfGuid1[16] = {0x10, 0xFD, 0x01, 0x7C, 0xAA, 0x7B, 0xD0, 0x11,
                                    0x9E, 0x0C, 0x00, 0xA0, 0xC9, 0x22, 0xE6, 0xEC};
constexpr uint8_t kItsfGuid2[16] = {0x11, 0xFD, 0x01, 0x7C, 0xAA, 0x7B, 0xD0, 0x11,
                                    0x9E, 0x0C, 0x00, 0xA0, 0xC9, 0x22, 0xE6, 0xEC};
constexpr uint8_t kItspGuid[16] = {0x6A, 0x92, 0x02, 0x5D, 0x2E, 0x21, 0xD0, 0x11,
                                   0x9D, 0xF9, 0x00, 0xA0, 0xC9, 0x22, 0xE6, 0xEC};

// The ::DataSpace files.
constexpr const char* kNameList = "::DataSpace/NameList";
constexpr const char* kContent = "::DataSpace/Storage/MSCompressed/Content";
constexpr const char* kControlData = "::DataSpace/Storage/MSCompressed/ControlData";
constexpr const char* kSpanInfo = "::DataSpace/Storage/MSCompressed/SpanInfo";
constexpr const char* kTransformList = "::DataSpace/Storage/MSCompressed/Transform/List";
constexpr const char* kResetTable =
    "::DataSpace/Storage/MSCompressed/Transform/{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/"
    "InstanceData/ResetTable";

constexpr uint32_t kControlDataSize = 28;  // libmspack accepts no other length
constexpr uint32_t kControlDataDwords = 6;  // the DWORDs that follow the count
constexpr uint32_t kControlDataVersion = 2;  // sizes in units of 32 KiB
constexpr uint32_t kOffCdCount = 0x00, kOffCdSignature = 0x04, kOffCdVersion = 0x08,
                   kOffCdResetInterval = 0x0C, kOffCdWindowSize = 0x10, kOffCdCacheSize = 0x14;
constexpr uint32_t kResetTableVersion = 2;
constexpr uint32_t kResetTableHeaderSize = 0x28;
constexpr uint32_t kOffRtVersion = 0x00, kOffRtCount = 0x04, kOffRtEntrySize = 0x08, kOffRtTableOffset = 0x0C,
                   kOffRtUncompressed = 0x10, kOffRtCompressed = 0x18, kOffRtFrameSize = 0x20;

}  // namespace hha::itsf
