#include "render/particles/ParticleInfo.h"

#include <bit>
#include <cstring>
#include <iterator>

#include "io/Archive.h"
#include "io/EditHook.h"
#include "io/File.h"
#include "io/FileSystem.h"
#include "io/RecordBlock.h"
#include "render/pictures/Sprite.h"

// The record is the file: every field sits at its file offset, in the byte order of the file.
static_assert(std::endian::native == std::endian::little, "particle files are little-endian");
static_assert(sizeof(ParticleInfo) == ParticleInfo::kFileBytes);
static_assert(offsetof(ParticleInfo, nEmission) == 4);
static_assert(offsetof(ParticleInfo, bRelative) == 28);
static_assert(offsetof(ParticleInfo, fSpeedMin) == 32);
static_assert(offsetof(ParticleInfo, fSizeStart) == 64);
static_assert(offsetof(ParticleInfo, colorStart) == 88);
static_assert(offsetof(ParticleInfo, colorEnd) == 104);
static_assert(offsetof(ParticleInfo, fColorVar) == 120);
static_assert(offsetof(ParticleInfo, fAlphaVar) == 124);

namespace {

constexpr const char* kInfoGroup = "Info";
constexpr int32_t kInfoCapacity = 128;
constexpr const char* kFloatFormat = "%f";
constexpr const char* kEmissionRange = "0:1000";
constexpr const char* kSecondsRange = "0:100:10";
constexpr const char* kLifeRange = "0:100:20";
constexpr const char* kAngleRange = "0:6282:1000";
constexpr const char* kSpeedRange = "-10:10";
constexpr const char* kAccelRange = "-3000:3000:100";
constexpr const char* kSizeRange = "1:1000:100";
constexpr const char* kShareRange = "0:100:100";

// Colours inside the record: alpha first.
void TransferColor(CIArchive& ar, ParticleColor& c, const char* alpha, const char* red, const char* green,
                   const char* blue)
{
    ar.Float(c.alpha, alpha);
    ar.Float(c.red, red);
    ar.Float(c.green, green);
    ar.Float(c.blue, blue);
}

void DescribeColor(CIEditHook& hook, ParticleColor& c, const char* name)
{
    using namespace sprite_edit;
    hook.BeginGroup(&c, name, kPlain, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.Float(&c.red, kFloatFormat, "red", kRange, kShareRange, nullptr, nullptr, 0);
    hook.Float(&c.green, kFloatFormat, "green", kRange, kShareRange, nullptr, nullptr, 0);
    hook.Float(&c.blue, kFloatFormat, "blue", kRange, kShareRange, nullptr, nullptr, 0);
    hook.Float(&c.alpha, kFloatFormat, "alpha", kRange, kShareRange, nullptr, nullptr, 0);
    hook.LeaveGroup();
}

}  // namespace

void ParticleInfo::Transfer(CIArchive& ar)
{
    TransferBlock(ar, kInfoGroup, kInfoCapacity, [this](CIArchive& block) {
        block.Int32(nEmission, "nEmission");
        block.Float(fLifetime, "fLifetime");
        block.Float(fParticleLifeMin, "fParticleLifeMin");
        block.Float(fParticleLifeMax, "fParticleLifeMax");
        block.Float(fDirection, "fDirection");
        block.Float(fSpread, "fSpread");
        bool relative = bRelative != 0;
        block.Bool(relative, "bRelative");
        if (block.IsLoading())
            bRelative = relative ? 1 : 0;
        float* const ranges[] = {&fSpeedMin,          &fSpeedMax,          &fGravityMin,     &fGravityMax,
                                 &fRadialAccelMin,    &fRadialAccelMax,    &fTangentialAccelMin,
                                 &fTangentialAccelMax, &fSizeStart,        &fSizeEnd,        &fSizeVar,
                                 &fSpinStart,         &fSpinEnd,           &fSpinVar};
        static const char* const kRangeNames[] = {
            "fSpeedMin",           "fSpeedMax",  "fGravityMin", "fGravityMax", "fRadialAccelMin",
            "fRadialAccelMax",     "fTangentialAccelMin", "fTangentialAccelMax", "fSizeStart",
            "fSizeEnd",            "fSizeVar",   "fSpinStart",  "fSpinEnd",    "fSpinVar"};
        for (size_t i = 0; i < std::size(ranges); ++i)
            block.Float(*ranges[i], kRangeNames[i]);
        TransferColor(block, colorStart, "colorStart.alpha", "colorStart.red", "colorStart.green",
                      "colorStart.blue");
        TransferColor(block, colorEnd, "colorEnd.alpha", "colorEnd.red", "colorEnd.green", "colorEnd.blue");
        block.Float(fColorVar, "fColorVar");
        block.Float(fAlphaVar, "fAlphaVar");
    });
}

void ParticleInfo::Describe(CIEditHook& hook)
{
    using namespace sprite_edit;
    auto real = [&hook](float& value, const char* name, const char* range) {
        hook.Float(&value, kFloatFormat, name, kRange, range, nullptr, nullptr, 0);
    };
    hook.BeginGroup(this, kInfoGroup, kCommands, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.Int32(&nEmission, "nEmission", kRange, kEmissionRange, nullptr, nullptr, 0);
    real(fLifetime, "fLifetime", kSecondsRange);
    real(fParticleLifeMin, "fParticleLifeMin", kLifeRange);
    real(fParticleLifeMax, "fParticleLifeMax", kLifeRange);
    real(fDirection, "fDirection", kAngleRange);
    real(fSpread, "fSpread", kAngleRange);
    hook.UInt8(&bRelative, "bRelative", kList, kBoolHint, nullptr, nullptr, 0);
    real(fSpeedMin, "fSpeedMin", kSpeedRange);
    real(fSpeedMax, "fSpeedMax", kSpeedRange);
    real(fGravityMin, "fGravityMin", kAccelRange);
    real(fGravityMax, "fGravityMax", kAccelRange);
    real(fRadialAccelMin, "fRadialAccelMin", kAccelRange);
    real(fRadialAccelMax, "fRadialAccelMax", kAccelRange);
    real(fTangentialAccelMin, "fTangentialAccelMin", kAccelRange);
    real(fTangentialAccelMax, "fTangentialAccelMax", kAccelRange);
    real(fSizeStart, "fSizeStart", kSizeRange);
    real(fSizeEnd, "fSizeEnd", kSizeRange);
    real(fSizeVar, "fSizeVar", kShareRange);
    real(fSpinStart, "fSpinStart", kSizeRange);
    real(fSpinEnd, "fSpinEnd", kSizeRange);
    real(fSpinVar, "fSpinVar", kShareRange);
    DescribeColor(hook, colorStart, "colorStart");
    DescribeColor(hook, colorEnd, "colorEnd");
    real(fColorVar, "fColorVar", kShareRange);
    real(fAlphaVar, "fAlphaVar", kShareRange);
    hook.LeaveGroup();
}

void ParticleInfo::ToFileBytes(uint8_t (&bytes)[kFileBytes]) const
{
    std::memcpy(bytes, this, kFileBytes);
}

bool ParticleInfo::FromFileBytes(const uint8_t* bytes, size_t size)
{
    if (bytes == nullptr || size < static_cast<size_t>(kFileBytes))
        return false;
    std::memcpy(this, bytes, kFileBytes);
    return true;
}

void ParticleInfo::ToSavedBytes(uint8_t (&bytes)[kFileBytes]) const
{
    ParticleInfo saved = *this;
    saved.spriteSlot = 0;
    std::memset(saved.padding, 0, sizeof saved.padding);
    saved.ToFileBytes(bytes);
}

namespace psi_file {

bool Load(const char* path, ParticleInfo& info, std::string& problem)
{
    CFileSystem& fs = GetFileSystem();
    IFile* file = path != nullptr && *path != '\0' ? fs.Open(path, true) : nullptr;
    if (file == nullptr) {
        problem = "cannot be opened";
        return false;
    }
    uint8_t bytes[ParticleInfo::kFileBytes];
    file->Seek(0, IFile::kFromStart);
    const int32_t got = file->Read(bytes, ParticleInfo::kFileBytes);
    fs.Close(file);
    ParticleInfo read;
    if (got < 0 || !read.FromFileBytes(bytes, static_cast<size_t>(got))) {
        problem = "holds " + std::to_string(got < 0 ? 0 : got) + " bytes; a particle file holds " +
                  std::to_string(ParticleInfo::kFileBytes);
        return false;
    }
    read.spriteSlot = 0;
    std::memset(read.padding, 0, sizeof read.padding);
    info = read;
    return true;
}

bool Save(const char* path, const ParticleInfo& info)
{
    CFileSystem& fs = GetFileSystem();
    IFile* file = path != nullptr && *path != '\0' ? fs.OpenDisk(path, "wb") : nullptr;
    if (file == nullptr)
        return false;
    uint8_t bytes[ParticleInfo::kFileBytes];
    info.ToSavedBytes(bytes);
    const bool written = file->Write(bytes, ParticleInfo::kFileBytes) == ParticleInfo::kFileBytes;
    fs.Close(file);
    return written;
}

}  // namespace psi_file
