// The method table and the decoders behind it.
#include "lzh/LzhMethods.h"

#include "lzh/LzhDecoder.h"
#include "lzh/LzhLarcDecoder.h"
#include "lzh/LzhLh1Decoder.h"
#include "lzh/LzhLk7Decoder.h"
#include "lzh/LzhPm1Decoder.h"
#include "lzh/LzhPm2Decoder.h"
#include "lzh/LzhStoredDecoder.h"

#include <array>
#include <new>

namespace
{

template <typename Decoder> std::unique_ptr<CLzhMethodDecoder> Make(const LzhMethodInfo&)
{
    return std::unique_ptr<CLzhMethodDecoder>(new (std::nothrow) Decoder);
}

std::unique_ptr<CLzhMethodDecoder> MakeStatic(const LzhMethodInfo& m)
{
    return std::unique_ptr<CLzhMethodDecoder>(new (std::nothrow) CLzhDecoder(m.dictBits));
}

std::unique_ptr<CLzhMethodDecoder> MakeLarc(const LzhMethodInfo& m)
{
    return std::unique_ptr<CLzhMethodDecoder>(new (std::nothrow) CLzhLarcDecoder(m.number));
}

// clang-format off
constexpr std::array kMethods = {
    //             id        number       dict stored writable maker
    LzhMethodInfo{L"-lh0-", kMethodStored, 0,  true,  true,  "LHarc, LHA", Make<CLzhStoredDecoder>},
    LzhMethodInfo{L"-lh5-", kMethodLh5,    13, false, true,  "LHA",        MakeStatic},
    LzhMethodInfo{L"-lh6-", kMethodLh6,    15, false, true,  "LHA",        MakeStatic},
    LzhMethodInfo{L"-lh7-", kMethodLh7,    16, false, true,  "LHA",        MakeStatic},
    LzhMethodInfo{L"-lh1-", kMethodLh1,    12, false, false, "LHarc 1.x",  Make<CLzhLh1Decoder>},
    LzhMethodInfo{L"-lh4-", kMethodLh4,    12, false, false, "LHA",        MakeStatic},
    LzhMethodInfo{L"-lhx-", kMethodLhx,    19, false, false, "UNLHA32",    MakeStatic},
    LzhMethodInfo{L"-lzs-", kMethodLzs,    11, false, false, "LArc",       MakeLarc},
    LzhMethodInfo{L"-lz5-", kMethodLz5,    12, false, false, "LArc",       MakeLarc},
    LzhMethodInfo{L"-lz4-", kMethodLz4,    0,  true,  false, "LArc",       Make<CLzhStoredDecoder>},
    LzhMethodInfo{L"-pm0-", kMethodPm0,    0,  true,  false, "PMarc",      Make<CLzhStoredDecoder>},
    LzhMethodInfo{L"-pm1-", kMethodPm1,    14, false, false, "PMarc 1.x",  Make<CLzhPm1Decoder>},
    LzhMethodInfo{L"-pm2-", kMethodPm2,    13, false, false, "PMarc 2",    Make<CLzhPm2Decoder>},
    LzhMethodInfo{L"-lh7-", kMethodLk7,    17, false, false, "LHARK",      Make<CLzhLk7Decoder>},
};
// clang-format on

constexpr size_t kLharkRow = kMethods.size() - 1;

} // namespace

const LzhMethodInfo* FindLzhMethod(std::wstring_view id)
{
    for (const auto& m : kMethods) {
        if (id == m.id) {
            return &m; // the standard -lh7- comes before LHARK's
        }
    }
    return nullptr;
}

const LzhMethodInfo* LzhMethodOf(std::wstring_view id, int headerLevel, int osId)
{
    if (id == L"-lh7-" && headerLevel == 1 && osId == 0x20) {
        return &kMethods[kLharkRow];
    }
    return FindLzhMethod(id);
}

const LzhMethodInfo* LzhMethodOf(const CArchiveEntry& entry)
{
    return LzhMethodOf(entry.method, entry.level, entry.osId);
}

const LzhMethodInfo* LzhMethodByNumber(int number)
{
    for (const auto& m : kMethods) {
        if (m.number == number) {
            return &m;
        }
    }
    return nullptr;
}

bool LooksLikeLzhMethod(const uint8_t* id)
{
    if (id[0] != '-' || id[4] != '-') {
        return false;
    }
    if (id[1] == 'l' && id[2] == 'h' && ((id[3] >= '0' && id[3] <= '9') || id[3] == 'd')) {
        return true;
    }
    for (const auto& m : kMethods) {
        if (id[1] == m.id[1] && id[2] == m.id[2] && id[3] == m.id[3]) {
            return true;
        }
    }
    return false;
}

CLzhMethodDecoder* LzhThreadDecoder(const LzhMethodInfo& method)
{
    thread_local std::array<std::unique_ptr<CLzhMethodDecoder>, kMethods.size()> decoders;
    if (method.makeDecoder == nullptr) {
        return nullptr;
    }
    auto& decoder = decoders[static_cast<size_t>(&method - kMethods.data())];
    if (decoder == nullptr) {
        decoder = method.makeDecoder(method);
    }
    return decoder.get();
}
